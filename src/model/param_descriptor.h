#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/value_type.h"

namespace zep8 {

// What a parameter name means, looked up from the catalogue on demand.
struct ParamDescriptor {
    std::string name;  // empty when the name is longer than 8 characters
    double min = 0;    // min == max == 0: no range
    double max = 0;
    int type = PT_NONE;
    std::uint8_t decimals = 0;  // PT_DECIMAL: fixed decimals, 0 = the point travels with the value
    std::vector<std::string> items;  // PT_ENUM: position = code

    bool hasRange() const { return !(min == 0 && max == 0); }
};

}  // namespace zep8
