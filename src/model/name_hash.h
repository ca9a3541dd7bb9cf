#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zep8 {

// 16-bit CRC of the protocol: polynomial 0x8F57, most significant bit first,
// no reflection, no final XOR. Always succeeds (result 1).
int hash_buffer(const std::uint8_t* bytes, std::size_t count, std::uint16_t& sum,
                std::uint16_t start = 0);
std::uint16_t hash_buffer(const std::uint8_t* bytes, std::size_t count);

// The 16-bit key of a parameter name on the wire and in .zep files. Letter
// case does not matter; an empty name or one longer than 8 characters gives 0.
std::uint16_t hash_name(std::string_view name);

}  // namespace zep8
