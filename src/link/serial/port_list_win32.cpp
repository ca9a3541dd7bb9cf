#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/serial/port_list.h"
#include "platform/codepage.h"

namespace zep8 {

// The ports the drivers have announced: the values of
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM ("COM3"), in number order.
std::string EnumeratePorts(const std::string&, const std::string&) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::vector<std::string> ports;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[256] = {};
        DWORD dataSize = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        std::string port;
        for (const wchar_t* c = data; *c; ++c) port += static_cast<char>(*c < 128 ? *c : '?');
        if (!port.empty() && port.find(':') == std::string::npos) ports.push_back(port);
    }
    RegCloseKey(key);
    const auto number = [](const std::string& p) {
        return p.size() > 3 ? std::atol(p.c_str() + 3) : 0L;
    };
    std::sort(ports.begin(), ports.end(), [&](const std::string& a, const std::string& b) {
        return number(a) != number(b) ? number(a) < number(b) : a < b;
    });
    std::string list;
    for (const std::string& port : ports) list += (list.empty() ? "" : ":") + port;
    return list;
}

}  // namespace zep8
