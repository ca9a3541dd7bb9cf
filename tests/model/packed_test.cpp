#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/my_converter.h"

namespace zep8 {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encode(double x, int d) {
    return MyConverter::EncodePacked(x, d);
}
double Decode(const Bytes& b) {
    return *MyConverter::DecodePacked(b.data(), b.size());
}

TEST(PackedDecimal, WorkedEncodings) {
    EXPECT_EQ(Encode(1.05, 2), (Bytes{0x20, 0x69}));
    EXPECT_EQ(Encode(-3, 0), (Bytes{0x83}));
    EXPECT_EQ(Encode(2047, 0), (Bytes{0x07, 0xFF}));
    EXPECT_EQ(Encode(-999.0004, 0), (Bytes{0x83, 0xE7}));
    EXPECT_EQ(Encode(1, 3), (Bytes{0x33, 0xE8}));
    EXPECT_EQ(Encode(16, 1), (Bytes{0x10, 0xA0}));
}

TEST(PackedDecimal, LengthGrowsWithTheMantissa) {
    EXPECT_EQ(Encode(15, 0), (Bytes{0x0F}));
    EXPECT_EQ(Encode(16, 0), (Bytes{0x00, 0x10}));
    EXPECT_EQ(Encode(4095, 0), (Bytes{0x0F, 0xFF}));
    EXPECT_EQ(Encode(4096, 0), (Bytes{0x00, 0x10, 0x00}));
    EXPECT_EQ(Encode((1 << 20) - 1, 0), (Bytes{0x0F, 0xFF, 0xFF}));
    EXPECT_EQ(Encode(1 << 20, 0), (Bytes{0x00, 0x10, 0x00, 0x00}));
    EXPECT_EQ(Encode(-9999.999, 3), (Bytes{0xB0, 0x98, 0x96, 0x7F}));
}

TEST(PackedDecimal, PlainBigEndianForSmallWholeNumbers) {
    for (int v : {0, 1, 9, 15, 16, 255, 256, 4095}) {
        const Bytes b = Encode(v, 0);
        const int plain = b.size() == 1 ? b[0] : (b[0] << 8) | b[1];
        EXPECT_EQ(plain, v);
    }
}

TEST(PackedDecimal, DecimalsAreClampedAndNegativeZeroIsPositive) {
    EXPECT_EQ(Encode(1.5, 7), Encode(1.5, 3));
    EXPECT_EQ(Encode(2, -1), Encode(2, 0));
    EXPECT_EQ(Encode(-0.0, 0), (Bytes{0x00}));
    // A negative number that rounds to nothing is zero too, not a "-0.000"
    // that reads back as other bytes.
    EXPECT_EQ(Encode(-0.0000001293, 0), (Bytes{0x00}));
    EXPECT_EQ(Encode(-0.0004, 3), (Bytes{0x30}));
}

TEST(PackedDecimal, NumbersThatDoNotFitAreRefused) {
    EXPECT_TRUE(Encode((1 << 28) - 1, 0).size() == 4);
    EXPECT_TRUE(Encode(1 << 28, 0).empty());  // the mantissa would run into the decimals bits
    EXPECT_TRUE(Encode(1e6, 3).empty());
    EXPECT_TRUE(Encode(INFINITY, 0).empty());
    EXPECT_TRUE(Encode(NAN, 0).empty());
}

TEST(PackedDecimal, Decoding) {
    EXPECT_DOUBLE_EQ(Decode({0x20, 0x69}), 1.05);
    EXPECT_DOUBLE_EQ(Decode({0x83}), -3);
    EXPECT_DOUBLE_EQ(Decode({0x83, 0xE7}), -999);
    EXPECT_DOUBLE_EQ(Decode({0x33, 0xE8}), 1);
    EXPECT_DOUBLE_EQ(Decode({0x70, 0x01}), 1e-7);  // three bits of decimals on the way in
    EXPECT_DOUBLE_EQ(Decode({0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), std::ldexp(1.0, 60));
}

TEST(PackedDecimal, DecodingRefusesEmptyAndLongInput) {
    const Bytes nine(9, 0x01);
    EXPECT_FALSE(MyConverter::DecodePacked(nine.data(), 9));
    EXPECT_FALSE(MyConverter::DecodePacked(nine.data(), 0));
    EXPECT_TRUE(MyConverter::DecodePacked(nine.data(), 8));
}

TEST(PackedDecimal, RoundTrip) {
    for (double x : {0.0, 0.5, -0.5, 12.3, -999.0, 9999.0, 0.001, 1.099, 123456.7}) {
        for (int d = 0; d <= 3; ++d) {
            const double expected = std::floor(std::fabs(x) * std::pow(10, d) + 0.5) /
                                    std::pow(10, d) * (x < 0 ? -1 : 1);
            EXPECT_NEAR(Decode(Encode(x, d)), expected, 1e-9) << x << " d=" << d;
        }
    }
}

}  // namespace
}  // namespace zep8
