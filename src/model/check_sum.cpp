#include "model/check_sum.h"

namespace zep8 {
namespace {

constexpr std::uint16_t kPolynomial = 0x8F57;

}  // namespace

std::uint16_t FeedCheckSum(std::uint16_t reg, unsigned value, int width) {
    for (int bit = width - 1; bit >= 0; --bit) {
        const bool in = (value >> bit) & 1;
        const bool top = (reg >> 15) & 1;
        reg = static_cast<std::uint16_t>(reg << 1);
        if (in != top) reg ^= kPolynomial;
    }
    return reg;
}

int hash_buffer(const std::uint8_t* bytes, std::size_t count, std::uint16_t& sum,
                std::uint16_t start) {
    std::uint16_t reg = start;
    for (std::size_t i = 0; i < count; ++i) reg = FeedCheckSum(reg, bytes[i], 8);
    sum = reg;
    return 1;
}

std::uint16_t hash_buffer(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t sum = 0;
    hash_buffer(bytes, count, sum, 0);
    return sum;
}

}  // namespace zep8
