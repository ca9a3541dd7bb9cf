#pragma once

// The program's side of the line, as the tests of the virtual module need it:
// frames built and parsed by the frame codec, values by the converter.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/exchange/frame_codec.h"
#include "model/my_converter.h"
#include "sim/virtual_module.h"

namespace zep8::sim::test {

using Bytes = std::vector<std::uint8_t>;

inline const std::uint16_t kErrorHash = hash_name("n.Err");

inline std::string RequestText(std::string_view name, bool read, const Bytes& data = {},
                               int address = 16, bool eleven = false) {
    RequestFrame f;
    f.address = address;
    f.elevenBitAddress = eleven;
    f.read = read;
    f.hash = hash_name(name);
    f.data = data;
    return BuildRequestText(f).value();
}

// The parsed reply, or nothing when the module stays silent.
inline std::optional<ReplyFrame> Ask(VirtualModule& module, std::string_view name, bool read,
                                     const Bytes& data = {}, int address = 16,
                                     bool eleven = false) {
    const auto reply = module.handleFrame(RequestText(name, read, data, address, eleven));
    if (!reply) return std::nullopt;
    return ParseReplyText(reply->bytes);
}

inline Bytes Index(int i) {
    return {0, static_cast<std::uint8_t>(i)};
}

inline Bytes HashBytes(std::string_view name) {
    const std::uint16_t hash = hash_name(name);
    return {static_cast<std::uint8_t>(hash >> 8), static_cast<std::uint8_t>(hash & 0xFF)};
}

inline Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The error code of an "n.Err" reply; -1 for anything else.
inline int ErrorCode(const std::optional<ReplyFrame>& reply) {
    if (!reply || !reply->checksumOk || reply->hash != kErrorHash || reply->data.size() != 1) {
        return -1;
    }
    return reply->data[0];
}

// Reads a parameter the way the program does and returns its value text.
inline std::string ReadText(VirtualModule& module, std::string_view name,
                            std::optional<int> index = std::nullopt, int address = 16) {
    const auto reply = Ask(module, name, true, index ? Index(*index) : Bytes{}, address);
    if (!reply || !reply->checksumOk || reply->hash != hash_name(name)) return "<no reply>";
    MyConverter c{std::string(name)};
    if (c.ConvertFromData(reply->data.data(), reply->data.size(), index.has_value()) !=
        MyConverter::CONVERT_OK) {
        return "<undecodable>";
    }
    return c.value;
}

// Writes a value text the way the program does; the reply as parsed.
inline std::optional<ReplyFrame> WriteText(VirtualModule& module, std::string_view name,
                                           std::string_view text,
                                           std::optional<int> index = std::nullopt) {
    MyConverter c{std::string(name)};
    c.value = std::string(text);
    Bytes data;
    if (c.ConvertToData(data) != MyConverter::CONVERT_OK) return std::nullopt;
    if (index) data = Concat(data, Index(*index));
    return Ask(module, name, false, data);
}

}  // namespace zep8::sim::test
