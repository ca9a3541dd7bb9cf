#include "sim/foreign_frames.h"

#include <algorithm>
#include <vector>

#include "platform/process_state.h"

namespace zep8::sim {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::optional<std::uint8_t> HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
    return std::nullopt;
}

std::optional<std::uint8_t> HexByte(std::string_view two) {
    const auto high = HexValue(two[0]);
    const auto low = HexValue(two[1]);
    if (!high || !low) return std::nullopt;
    return static_cast<std::uint8_t>(*high << 4 | *low);
}

void AppendHex(std::string& text, std::uint8_t byte) {
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0x0F];
}

std::optional<std::string> RtuReply(int address, std::string_view frame) {
    constexpr std::size_t kLength = 1 + std::size(kModbusReturnCommand) + 2;
    if (frame.size() != kLength) return std::nullopt;
    std::vector<std::uint8_t> bytes(frame.begin(), frame.end());
    if (bytes[0] != address) return std::nullopt;
    if (!std::equal(std::begin(kModbusReturnCommand), std::end(kModbusReturnCommand),
                    bytes.begin() + 1)) {
        return std::nullopt;
    }
    const std::uint16_t crc = ModbusCrc(std::span(bytes).first(kLength - 2));
    if (bytes[kLength - 2] != (crc & 0xFF) || bytes[kLength - 1] != (crc >> 8)) return std::nullopt;
    return std::string(frame);  // Write Single Coil answers with its own echo
}

std::optional<std::string> AsciiReply(int address, std::string_view frame) {
    const std::size_t colon = frame.rfind(':');
    const std::size_t end = frame.find('\r', colon == std::string_view::npos ? 0 : colon);
    if (colon == std::string_view::npos || end == std::string_view::npos) return std::nullopt;
    const std::string_view hex = frame.substr(colon + 1, end - colon - 1);
    if (hex.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const auto byte = HexByte(hex.substr(i, 2));
        if (!byte) return std::nullopt;
        bytes.push_back(*byte);
    }
    if (bytes.size() != 1 + std::size(kModbusReturnCommand) + 1) return std::nullopt;
    const std::uint8_t lrc = bytes.back();
    bytes.pop_back();
    if (ModbusLrc(bytes) != lrc || bytes[0] != address) return std::nullopt;
    if (!std::equal(std::begin(kModbusReturnCommand), std::end(kModbusReturnCommand),
                    bytes.begin() + 1)) {
        return std::nullopt;
    }
    return BuildForeignFrame(PROTOCOL_MODBUS_ASCII, bytes[0], std::span(bytes).subspan(1));
}

std::optional<std::string> DconReply(int address, std::string_view frame) {
    const std::size_t start = frame.rfind('%');
    const std::size_t end = frame.find('\r', start == std::string_view::npos ? 0 : start);
    if (start == std::string_view::npos || end == std::string_view::npos) return std::nullopt;
    const std::string_view text = frame.substr(start, end - start);
    // "%", two address digits, the command, two check-sum digits.
    if (text.size() != 1 + 2 + kDconReturnCommand.size() + 2) return std::nullopt;
    const auto sum = HexByte(text.substr(text.size() - 2));
    if (!sum || *sum != DconChecksum(text.substr(0, text.size() - 2))) return std::nullopt;
    const auto target = HexByte(text.substr(1, 2));
    if (!target || *target != address) return std::nullopt;
    if (text.substr(3, kDconReturnCommand.size()) != kDconReturnCommand) return std::nullopt;
    std::string reply = "!";
    AppendHex(reply, static_cast<std::uint8_t>(address));
    AppendHex(reply, DconChecksum(reply));
    reply += '\r';
    return reply;
}

}  // namespace

std::optional<std::string> ReturnCommandReply(Protocol protocol, int address,
                                              std::string_view frame) {
    if (address < 0 || address > 255) return std::nullopt;
    switch (protocol) {
        case Protocol::ModbusRtu:
            return RtuReply(address, frame);
        case Protocol::ModbusAscii:
            return AsciiReply(address, frame);
        case Protocol::Dcon:
            return DconReply(address, frame);
        case Protocol::Own:
            break;
    }
    return std::nullopt;
}

}  // namespace zep8::sim
