#include "link/serial/port_list.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "link/serial/system_files.h"

namespace zep8 {
namespace {

// "ttyS2" before "ttyS10".
bool NaturalLess(const std::string& a, const std::string& b) {
    const auto split = [](const std::string& s) {
        std::size_t digits = s.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1]))) --digits;
        const long number = digits < s.size() ? std::atol(s.c_str() + digits) : -1;
        return std::make_pair(s.substr(0, digits), number);
    };
    return split(a) < split(b);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string EnumeratePorts(const std::string& sysClassTty, const std::string& byIdDirectory) {
    std::vector<std::string> ttys;
    for (const std::string& name : DirectoryNames(sysClassTty)) {
        const std::string base = sysClassTty + "/" + name;
        if (!Exists(base + "/device")) continue;  // consoles and pseudo-terminals
        // The 8250 driver lists ports without a UART behind them as type 0.
        if (name.rfind("ttyS", 0) == 0 && ReadFirstLine(base + "/type") == "0") continue;
        ttys.push_back(name);
    }
    std::sort(ttys.begin(), ttys.end(), NaturalLess);

    std::vector<std::string> links;
    for (const std::string& name : DirectoryNames(byIdDirectory)) {
        // The list is ":"-separated, so a name with ":" cannot be offered.
        if (name.find(':') == std::string::npos) links.push_back(byIdDirectory + "/" + name);
    }
    std::sort(links.begin(), links.end());

    std::string list;
    for (const auto& group : {ttys, links}) {
        for (const std::string& name : group) list += (list.empty() ? "" : ":") + name;
    }
    return list;
}

}  // namespace zep8
