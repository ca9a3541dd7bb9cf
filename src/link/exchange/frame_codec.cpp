#include "link/exchange/frame_codec.h"

#include "model/check_sum.h"

namespace zep8 {
namespace {

constexpr char kFirstLetter = 'G';

std::uint8_t LetterValue(char c) {
    return (c >= 'G' && c <= 'V') ? static_cast<std::uint8_t>(c - kFirstLetter) : 0;
}

}  // namespace

int encode_buffer(const std::uint8_t* bytes, std::size_t count, char* letters) {
    for (std::size_t i = 0; i < count; ++i) {
        letters[2 * i] = static_cast<char>(kFirstLetter + (bytes[i] >> 4));
        letters[2 * i + 1] = static_cast<char>(kFirstLetter + (bytes[i] & 0x0F));
    }
    return 1;
}

int decode_buffer(const char* letters, std::size_t count, std::uint8_t* bytes) {
    for (std::size_t i = 0; i + 1 < count; i += 2) {
        bytes[i / 2] =
            static_cast<std::uint8_t>((LetterValue(letters[i]) << 4) | LetterValue(letters[i + 1]));
    }
    return 1;
}

std::optional<std::vector<std::uint8_t>> BuildRequestBytes(const RequestFrame& frame) {
    if (frame.data.size() > kMaxRequestData) return std::nullopt;
    std::vector<std::uint8_t> bytes(4);
    bytes.reserve(kFrameOverhead + frame.data.size());
    if (frame.elevenBitAddress) {
        bytes[0] = static_cast<std::uint8_t>((frame.address >> 3) & 0xFF);
        bytes[1] = static_cast<std::uint8_t>((frame.address & 0x07) << 5);
    } else {
        bytes[0] = static_cast<std::uint8_t>(frame.address & 0xFF);
    }
    bytes[1] |= static_cast<std::uint8_t>((frame.read ? 0x10 : 0) | frame.data.size());
    bytes[2] = static_cast<std::uint8_t>(frame.hash >> 8);
    bytes[3] = static_cast<std::uint8_t>(frame.hash & 0xFF);
    bytes.insert(bytes.end(), frame.data.begin(), frame.data.end());
    const std::uint16_t sum = hash_buffer(bytes.data(), bytes.size());
    bytes.push_back(static_cast<std::uint8_t>(sum >> 8));
    bytes.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    return bytes;
}

std::optional<std::string> BuildRequestText(const RequestFrame& frame) {
    const auto bytes = BuildRequestBytes(frame);
    if (!bytes) return std::nullopt;
    std::string text(1 + 2 * bytes->size() + 1, kFrameStart);
    encode_buffer(bytes->data(), bytes->size(), text.data() + 1);
    text.back() = kFrameEnd;
    return text;
}

ReplyFrame ParseReplyText(std::string_view received) {
    ReplyFrame reply;
    if (received.size() < 2) return reply;
    const std::size_t letters = received.size() - 2;
    std::vector<std::uint8_t> bytes(letters / 2);
    decode_buffer(received.data() + 1, letters, bytes.data());

    const std::size_t m = bytes.size();
    if (m < kFrameOverhead) return reply;
    const std::size_t n = bytes[1] & 0x0F;
    if (4 + n + 2 > m) return reply;

    reply.addressByte = bytes[0];
    reply.flags = bytes[1];
    reply.hash = static_cast<std::uint16_t>((bytes[2] << 8) | bytes[3]);
    reply.data.assign(bytes.begin() + 4, bytes.begin() + 4 + static_cast<std::ptrdiff_t>(n));
    const auto received_sum = static_cast<std::uint16_t>((bytes[4 + n] << 8) | bytes[5 + n]);
    reply.checksumOk = hash_buffer(bytes.data(), m - 2) == received_sum;
    return reply;
}

int ReplyAddress(const ReplyFrame& reply, bool elevenBitAddress) {
    if (elevenBitAddress) return reply.addressByte << 3 | reply.flags >> 5;
    return (reply.flags & 0xE0) != 0 ? -1 : reply.addressByte;
}

}  // namespace zep8
