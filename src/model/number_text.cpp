#include "model/number_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <string>

namespace zep8 {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::size_t SkipDigits(std::string_view s, std::size_t i) {
    while (i < s.size() && IsDigit(s[i])) ++i;
    return i;
}

}  // namespace

NumberReading ReadNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t intStart = i;
    i = SkipDigits(text, i);
    bool digits = i > intStart;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fracStart = i + 1;
        const std::size_t fracEnd = SkipDigits(text, fracStart);
        if (digits || fracEnd > fracStart) {
            digits = true;
            i = fracEnd;
        }
    }
    if (!digits) return {};
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        const std::size_t expEnd = SkipDigits(text, j);
        if (expEnd > j) i = expEnd;
    }

    // from_chars takes no '+' and no leading point: give it a tidy copy.
    std::string number(text.substr(start, i - start));
    bool negative = false;
    if (number[0] == '+' || number[0] == '-') {
        negative = number[0] == '-';
        number.erase(0, 1);
    }
    if (number[0] == '.') number = "0" + number;
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: like strtod, saturate or underflow.
        const std::size_t e = number.find_first_of("eE");
        const bool tiny = e != std::string::npos && number.find('-', e) != std::string::npos;
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return {negative ? -value : value, i};
}

double ReadValueNumber(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return ReadNumber(text).value;
}

std::optional<long long> ReadInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t end = SkipDigits(text, i);
    if (end == i) return std::nullopt;
    unsigned long long magnitude = 0;
    const auto result = std::from_chars(text.data() + i, text.data() + end, magnitude);
    if (result.ec == std::errc::result_out_of_range || magnitude > LLONG_MAX) {
        return negative ? LLONG_MIN : LLONG_MAX;
    }
    const auto value = static_cast<long long>(magnitude);
    return negative ? -value : value;
}

std::optional<std::string> TypedNumber(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    std::string number(text);
    std::replace(number.begin(), number.end(), ',', '.');
    const NumberReading reading = ReadNumber(number);
    if (reading.consumed == 0 || reading.consumed != number.size()) return std::nullopt;
    number.erase(0, number.find_first_not_of(" \t\n\v\f\r"));
    return number;
}

}  // namespace zep8
