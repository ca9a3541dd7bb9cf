#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zep8 {

// Numbers inside value texts, read the same way whatever the process locale:
// leading blanks, an optional sign, digits with an optional point and an
// optional exponent. Reading stops at the first character that does not fit;
// a text that does not start with a number reads as 0 with nothing consumed.
struct NumberReading {
    double value = 0;
    std::size_t consumed = 0;  // characters that belong to the number (blanks included)
};
NumberReading ReadNumber(std::string_view text);

// The reading used when a value is turned into data: trailing blanks and
// control characters are dropped first.
double ReadValueNumber(std::string_view text);

// A decimal integer with an optional sign after leading blanks; nothing when
// no digit follows. Values beyond 64 bits saturate.
std::optional<long long> ReadInteger(std::string_view text);

// A number as an operator types it or a file keeps it. A Russian desktop
// writes a decimal comma, which means the point: "2,5" is 2.5. The text comes
// back trimmed and with a point; nothing when it is not one whole number
// (blanks around it are allowed, "2,5,1" or "12abc" are not numbers).
std::optional<std::string> TypedNumber(std::string_view text);

inline bool HasDigit(std::string_view text) {
    return text.find_first_of("0123456789") != std::string_view::npos;
}

}  // namespace zep8
