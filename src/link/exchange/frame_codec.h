#pragma once

// The frames of the module's own protocol: letters to bytes and back, the
// request built and the reply parsed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/name_hash.h"

namespace zep8 {

// Frame layout of the module's own protocol: address, flags and length, name
// hash, up to 15 data bytes, check sum; on the line "#", two letters G..V per
// byte, carriage return.
inline constexpr char kFrameStart = '#';
inline constexpr char kFrameEnd = '\r';
inline constexpr std::size_t kMaxRequestData = 15;
inline constexpr std::size_t kFrameOverhead = 6;  // address, flags, hash, check sum
// The name under which a parameter's access attributes are read and written.
inline constexpr std::string_view kAttributesName = "M.s.t.r.";

// Each byte as two letters, high nibble first ('G' = 0 .. 'V' = 15). Result 1.
int encode_buffer(const std::uint8_t* bytes, std::size_t count, char* letters);
// Pairs of letters back to bytes; a letter outside G..V counts as 0, an odd
// last letter is ignored. Result 1.
int decode_buffer(const char* letters, std::size_t count, std::uint8_t* bytes);

struct RequestFrame {
    int address = 0;  // base address plus the parameter's offset
    bool elevenBitAddress = false;
    bool read = false;  // read request; a write carries the value in `data`
    std::uint16_t hash = 0;
    std::span<const std::uint8_t> data{};
};

// The frame's bytes, check sum included; nothing when there are more than 15 data bytes.
std::optional<std::vector<std::uint8_t>> BuildRequestBytes(const RequestFrame& frame);
// The frame as sent on the line, carriage return included; nothing when
// there are more than 15 data bytes.
std::optional<std::string> BuildRequestText(const RequestFrame& frame);

struct ReplyFrame {
    bool checksumOk = false;  // false also for a reply too short to hold its own length
    std::uint8_t addressByte = 0;  // byte 0: the address, or its bits 10..3
    std::uint8_t flags = 0;   // byte 1: address bits, request flag, data length
    std::uint16_t hash = 0;
    std::vector<std::uint8_t> data;
};

// Parses the characters of a reply as received: "#" first, normally a
// carriage return last. Address bits and the request flag are not checked.
ReplyFrame ParseReplyText(std::string_view received);

// The address a reply comes from, read with the line's address length; -1
// for a frame of 11-bit addressing on an 8-bit line (bits 7..5 of byte 1 set).
int ReplyAddress(const ReplyFrame& reply, bool elevenBitAddress);

}  // namespace zep8
