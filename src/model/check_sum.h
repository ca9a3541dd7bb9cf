#pragma once

#include <cstddef>
#include <cstdint>

namespace zep8 {

// 16-bit CRC of the protocol: polynomial 0x8F57, most significant bit first,
// no reflection, no final XOR. Always succeeds (result 1).
int hash_buffer(const std::uint8_t* bytes, std::size_t count, std::uint16_t& sum,
                std::uint16_t start = 0);
std::uint16_t hash_buffer(const std::uint8_t* bytes, std::size_t count);

// Feeds the low `width` bits of `value` into the CRC register, most
// significant first. The frame's check sum feeds bytes; the name hash feeds
// 7-bit character entries through the same register.
std::uint16_t FeedCheckSum(std::uint16_t reg, unsigned value, int width);

}  // namespace zep8
