#include "platform/codepage.h"

#include <windows.h>

namespace zep8 {
namespace {

constexpr UINT kCp1251 = 1251;

std::wstring Wide(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string Narrow(UINT codePage, std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const char* substitute = codePage == CP_UTF8 ? nullptr : "?";
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, substitute, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), length, substitute, nullptr);
    return text;
}

// A broken UTF-8 sequence decodes to U+FFFD; Windows-1251 has no such
// character, so it becomes "?" as any other it lacks.
}  // namespace

std::string Utf8ToCp1251(std::string_view utf8) {
    return Narrow(kCp1251, Wide(CP_UTF8, utf8));
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
    std::wstring wide = Wide(kCp1251, cp1251);
    // 0x98 is the one byte Windows-1251 leaves undefined.
    for (std::size_t i = 0; i < wide.size() && i < cp1251.size(); ++i) {
        if (static_cast<unsigned char>(cp1251[i]) == 0x98) wide[i] = L'?';
    }
    return Narrow(CP_UTF8, wide);
}

std::string Utf16leToUtf8(std::string_view utf16le) {
    std::wstring wide;
    for (std::size_t i = 0; i + 1 < utf16le.size(); i += 2) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(utf16le[i]) |
                                     (static_cast<unsigned char>(utf16le[i + 1]) << 8));
    }
    return Narrow(CP_UTF8, wide);
}

}  // namespace zep8
