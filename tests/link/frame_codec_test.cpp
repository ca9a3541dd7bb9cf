#include "link/exchange/frame_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/check_sum.h"

namespace zep8 {
namespace {

using Bytes = std::vector<std::uint8_t>;

RequestFrame ReadDev(int address, bool eleven) {
    RequestFrame f;
    f.address = address;
    f.elevenBitAddress = eleven;
    f.read = true;
    f.hash = hash_name("dev");
    return f;
}

TEST(FrameCodec, ReadDevRequestWithEightBitAddress) {
    const auto bytes = BuildRequestBytes(ReadDev(16, false));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, (Bytes{0x10, 0x10, 0xD6, 0x81, 0x90, 0x68}));
    EXPECT_EQ(BuildRequestText(ReadDev(16, false)), std::string("#HGHGTMOHPGMO\r"));
}

TEST(FrameCodec, ReadDevRequestWithElevenBitAddress) {
    const auto bytes = BuildRequestBytes(ReadDev(16, true));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, (Bytes{0x02, 0x10, 0xD6, 0x81, 0x54, 0xDA}));
}

TEST(FrameCodec, ElevenBitAddressSplitsAcrossTwoBytes) {
    const auto bytes = BuildRequestBytes(ReadDev(2047, true));
    ASSERT_TRUE(bytes);
    EXPECT_EQ((*bytes)[0], 0xFF);
    EXPECT_EQ((*bytes)[1], 0xE0 | 0x10);
}

TEST(FrameCodec, WriteRequestCarriesDataAndLength) {
    const Bytes data{0x07, 0xFF};
    RequestFrame f;
    f.address = 16;
    f.hash = hash_name("Addr");
    f.data = data;
    const auto text = BuildRequestText(f);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 2 * data.size() + 14);
    const ReplyFrame parsed = ParseReplyText(*text);
    EXPECT_TRUE(parsed.checksumOk);
    EXPECT_EQ(parsed.flags, 0x02);
    EXPECT_EQ(parsed.hash, 0x9F62);
    EXPECT_EQ(parsed.data, data);
}

TEST(FrameCodec, RefusesMoreThanFifteenDataBytes) {
    const Bytes fifteen(15, 0xAA), sixteen(16, 0xAA);
    RequestFrame f;
    f.data = fifteen;
    ASSERT_TRUE(BuildRequestText(f));
    EXPECT_EQ(BuildRequestText(f)->size(), 44u);
    f.data = sixteen;
    EXPECT_FALSE(BuildRequestText(f));
}

TEST(FrameCodec, LettersRoundTripAndForeignLettersCountAsZero) {
    const Bytes bytes{0x00, 0x0F, 0xF0, 0xFF, 0x5A};
    std::string letters(bytes.size() * 2, ' ');
    EXPECT_EQ(encode_buffer(bytes.data(), bytes.size(), letters.data()), 1);
    EXPECT_EQ(letters, "GGGVVGVVLQ");
    Bytes back(bytes.size());
    EXPECT_EQ(decode_buffer(letters.data(), letters.size(), back.data()), 1);
    EXPECT_EQ(back, bytes);

    Bytes odd(1);
    decode_buffer("aVH", 3, odd.data());  // 'a' is no letter of the code; "H" has no partner
    EXPECT_EQ(odd[0], 0x0F);
}

TEST(FrameCodec, ParsesAGoodReply) {
    // "dev" reply from address 16 carrying "ZEP-8" last character first.
    const Bytes data{'8', '-', 'P', 'E', 'Z'};
    RequestFrame f;
    f.address = 16;
    f.hash = 0xD681;
    f.data = data;
    const ReplyFrame reply = ParseReplyText(*BuildRequestText(f));
    EXPECT_TRUE(reply.checksumOk);
    EXPECT_EQ(reply.hash, 0xD681);
    EXPECT_EQ(reply.data, data);
}

TEST(FrameCodec, RejectsDamagedReplies) {
    std::string good = "#HGHGTMOHPGMO\r";
    ASSERT_TRUE(ParseReplyText(good).checksumOk);

    std::string corrupted = good;
    corrupted[5] = 'N';  // one letter changed
    EXPECT_FALSE(ParseReplyText(corrupted).checksumOk);

    // Fewer than six bytes, a length field pointing past the end, or nothing at all.
    EXPECT_FALSE(ParseReplyText("#HGHGTMOHPG\r").checksumOk);
    EXPECT_FALSE(ParseReplyText("#\r").checksumOk);
    EXPECT_FALSE(ParseReplyText("").checksumOk);
    EXPECT_FALSE(ParseReplyText("#").checksumOk);
    const Bytes claimsFifteen{0x10, 0x0F, 0xD6, 0x81, 0x00, 0x00};
    std::string text(1 + 2 * claimsFifteen.size() + 1, '#');
    encode_buffer(claimsFifteen.data(), claimsFifteen.size(), text.data() + 1);
    text.back() = '\r';
    EXPECT_FALSE(ParseReplyText(text).checksumOk);
}

TEST(FrameCodec, ChecksumOfFrameWithItsChecksumIsZero) {
    // A property of this CRC (no reflection, no final XOR): a whole frame sums to 0.
    const auto bytes = *BuildRequestBytes(ReadDev(200, false));
    EXPECT_EQ(hash_buffer(bytes.data(), bytes.size()), 0);
}

}  // namespace
}  // namespace zep8
