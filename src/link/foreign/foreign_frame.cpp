#include "link/foreign/foreign_frame.h"

#include <optional>

#include "link/foreign/foreign_status_text.h"
#include "platform/process_state.h"

namespace zep8 {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHex(std::string& out, std::uint8_t byte) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

std::optional<std::uint8_t> HexByte(char high, char low) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    const int h = digit(high), l = digit(low);
    if (h < 0 || l < 0) return std::nullopt;
    return static_cast<std::uint8_t>(h * 16 + l);
}

int ParseRtu(std::uint8_t address, std::string_view received, std::vector<std::uint8_t>& data) {
    if (received.size() < 2) return FOREIGN_MALFORMED;
    const std::vector<std::uint8_t> bytes(received.begin(), received.end() - 2);
    const std::uint16_t crc = ModbusCrc(bytes);
    const auto low = static_cast<std::uint8_t>(received[received.size() - 2]);
    const auto high = static_cast<std::uint8_t>(received[received.size() - 1]);
    if (crc != (low | (high << 8))) return FOREIGN_CHECKSUM;
    if (bytes.empty() || bytes[0] != address) return FOREIGN_ADDRESS;
    data.assign(bytes.begin() + 1, bytes.end());
    return FOREIGN_OK;
}

int ParseAscii(std::uint8_t address, std::string_view received, std::vector<std::uint8_t>& data) {
    if (received.size() < 3) return FOREIGN_MALFORMED;
    const std::size_t end = received.find('\r');
    // Without its carriage return the frame cannot be trusted.
    if (end == std::string_view::npos || end < 3 || received[0] != ':') return FOREIGN_MALFORMED;
    const std::string_view digits = received.substr(1, end - 3);
    const std::optional<std::uint8_t> lrc = HexByte(received[end - 2], received[end - 1]);
    if (!lrc || digits.size() % 2 != 0) return FOREIGN_MALFORMED;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const std::optional<std::uint8_t> b = HexByte(digits[i], digits[i + 1]);
        if (!b) return FOREIGN_MALFORMED;
        bytes.push_back(*b);
    }
    if (ModbusLrc(bytes) != *lrc) return FOREIGN_CHECKSUM;
    if (bytes.empty() || bytes[0] != address) return FOREIGN_ADDRESS;
    data.assign(bytes.begin() + 1, bytes.end());
    return FOREIGN_OK;
}

int ParseDcon(std::uint8_t address, std::string_view received, std::vector<std::uint8_t>& data) {
    if (received.size() < 3) return FOREIGN_MALFORMED;
    // "!", address, data, check sum, carriage return: the sum sits before the last character.
    const std::size_t sumAt = received.size() - 3;
    const std::optional<std::uint8_t> sum = HexByte(received[sumAt], received[sumAt + 1]);
    if (!sum || DconChecksum(received.substr(0, sumAt)) != *sum) return FOREIGN_CHECKSUM;
    if (received[0] != '!' || sumAt < 3) return FOREIGN_MALFORMED;
    const std::optional<std::uint8_t> replyAddress = HexByte(received[1], received[2]);
    if (!replyAddress) return FOREIGN_MALFORMED;
    if (*replyAddress != address) return FOREIGN_ADDRESS;
    data.assign(received.begin() + 3, received.begin() + static_cast<std::ptrdiff_t>(sumAt));
    return FOREIGN_OK;
}

}  // namespace

std::uint16_t ModbusCrc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

std::uint8_t ModbusLrc(std::span<const std::uint8_t> bytes) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
    return static_cast<std::uint8_t>(-sum);
}

std::uint8_t DconChecksum(std::string_view text) {
    std::uint8_t sum = 0;
    for (char c : text) sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
    return sum;
}

std::string BuildForeignFrame(int protocolMode, std::uint8_t address,
                              std::span<const std::uint8_t> command) {
    std::vector<std::uint8_t> bytes{address};
    bytes.insert(bytes.end(), command.begin(), command.end());
    std::string frame;
    switch (protocolMode) {
        case PROTOCOL_MODBUS_RTU: {
            const std::uint16_t crc = ModbusCrc(bytes);
            frame.assign(bytes.begin(), bytes.end());
            frame += static_cast<char>(crc & 0xFF);
            frame += static_cast<char>(crc >> 8);
            break;
        }
        case PROTOCOL_MODBUS_ASCII:
            frame.push_back(':');
            for (std::uint8_t b : bytes) AppendHex(frame, b);
            AppendHex(frame, ModbusLrc(bytes));
            frame += "\r\n";
            break;
        case PROTOCOL_DCON:
            frame.push_back('%');
            AppendHex(frame, address);
            frame.append(command.begin(), command.end());
            AppendHex(frame, DconChecksum(frame));
            frame += '\r';
            break;
        default:
            break;
    }
    return frame;
}

int ParseForeignReply(int protocolMode, std::uint8_t address, std::string_view received,
                      std::vector<std::uint8_t>& data) {
    data.clear();
    switch (protocolMode) {
        case PROTOCOL_MODBUS_RTU:
            return ParseRtu(address, received, data);
        case PROTOCOL_MODBUS_ASCII:
            return ParseAscii(address, received, data);
        case PROTOCOL_DCON:
            return ParseDcon(address, received, data);
        default:
            return FOREIGN_MALFORMED;
    }
}

}  // namespace zep8
