#pragma once

#include <string_view>

namespace zep8 {

// How a parameter's value text maps to data bytes.
enum ValueType : int {
    PT_NONE = 0,     // unknown name, no data
    PT_DECIMAL = 1,  // packed signed decimal, 1..4 bytes
    PT_INTEGER = 2,  // written packed; read as a 1 or 2 byte unsigned integer
    PT_ASCII = 3,    // characters, last one first on the wire
    PT_ENUM = 4,     // one byte: the position of the item
};

// The value of a parameter that has never been read, typed or loaded; such a
// parameter is never written.
inline constexpr std::string_view kNoData = "Нет данных";
inline constexpr std::string_view kUnknownTitle = "<неизвестный параметр>";

}  // namespace zep8
