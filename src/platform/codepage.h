#pragma once

#include <string>
#include <string_view>

namespace zep8 {

// The program keeps text in UTF-8; the module, the .zep files and the exported
// page use Windows-1251. A character that Windows-1251 lacks becomes "?"; bytes
// that are not valid UTF-8 become "?" as well.
std::string Utf8ToCp1251(std::string_view utf8);
std::string Cp1251ToUtf8(std::string_view cp1251);
// Little-endian UTF-16 (as older archives store some strings) to UTF-8.
std::string Utf16leToUtf8(std::string_view utf16le);

}  // namespace zep8
