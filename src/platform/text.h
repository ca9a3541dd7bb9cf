#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zep8 {

// Lower case of Latin and Cyrillic letters (Ё/ё included); every other
// character passes unchanged. Used wherever texts compare ignoring case.
std::string FoldCase(std::string_view utf8);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// <0, 0, >0 like strcmp, on the folded texts.
int CompareIgnoreCase(std::string_view a, std::string_view b);

// Number of characters (code points) of a UTF-8 text.
std::size_t Utf8Length(std::string_view utf8);

// printf's "%.Nf" without the process locale: always a point.
std::string FormatFixed(double value, int decimals);

// The text with &, <, >, " and ' as HTML entities.
std::string EscapeHtml(std::string_view text);

}  // namespace zep8
