#pragma once

#include <cstdint>
#include <string_view>

namespace zep8 {

// The 16-bit key of a parameter name on the wire and in .zep files. Letter
// case does not matter; an empty name or one longer than 8 characters gives 0.
std::uint16_t hash_name(std::string_view name);

}  // namespace zep8
