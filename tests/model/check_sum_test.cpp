#include "model/check_sum.h"

#include <gtest/gtest.h>

namespace zep8 {
namespace {

TEST(Checksum, StartsFromTheGivenRegister) {
    const std::uint8_t bytes[] = {0x10, 0x10, 0xD6, 0x81};
    std::uint16_t sum = 0xFFFF;
    EXPECT_EQ(hash_buffer(bytes, 4, sum), 1);
    EXPECT_EQ(sum, 0x9068);
    std::uint16_t firstHalf = 0, whole = 0;
    hash_buffer(bytes, 2, firstHalf);
    hash_buffer(bytes + 2, 2, whole, firstHalf);
    EXPECT_EQ(whole, 0x9068);
    EXPECT_EQ(hash_buffer(bytes, 0), 0);
}

}  // namespace
}  // namespace zep8
