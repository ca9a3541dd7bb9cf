#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zep8 {

// The program keeps file names as UTF-8 text. A path made from a std::string
// would be read in the ANSI code page on Windows and garble "Настройки.zep";
// these two keep the name whole on every system.
inline std::filesystem::path FilePath(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Name(const std::filesystem::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

}  // namespace zep8
