#include "sim/line_settings.h"

#include <array>

#include "platform/text.h"

namespace zep8::sim {

int LineSettings::bitsPerCharacter() const {
    return 1 + dataBits + (parity == Parity::None ? 0 : 1) + stopBits;
}

std::chrono::nanoseconds LineSettings::characterTime() const {
    return wireTime(1);
}

std::chrono::nanoseconds LineSettings::wireTime(std::size_t characters) const {
    if (baud <= 0) return std::chrono::nanoseconds(0);
    const long long bits = static_cast<long long>(characters) * bitsPerCharacter();
    return std::chrono::nanoseconds(bits * 1'000'000'000LL / baud);
}

std::optional<std::string_view> LineSettings::unusableReason() const {
    if (!BaudCode(baud)) return "unsupported baud rate";
    if (dataBits != 7 && dataBits != 8) return "data bits must be 7 or 8";
    if (stopBits != 1 && stopBits != 2) return "stop bits must be 1 or 2";
    if (addressBits != 8 && addressBits != 11) return "address length must be 8 or 11 bits";
    if (responseDelayMs < 0 || responseDelayMs > 50) return "response delay must be 0..50 ms";
    // Character formats the module's UART cannot produce.
    if (dataBits == 7 && stopBits == 1 && parity == Parity::None)
        return "7 data bits need parity or 2 stop bits";
    if (dataBits == 8 && stopBits == 2 && parity != Parity::None)
        return "8 data bits with parity allow 1 stop bit only";
    if (address < 0 || address > 2047) return "address must be 0..2047";
    if (addressBits == 8 && address > 255) return "an 8-bit address must be 0..255";
    if (protocol != Protocol::Own && address > 255)
        return "foreign protocols need an address of 0..255";
    // The own protocol serves the measured values at base address + 0..7.
    if (protocol == Protocol::Own && address % 8 != 0) return "the address must be a multiple of 8";
    return std::nullopt;
}

std::optional<std::uint8_t> BaudCode(int baud) {
    for (std::size_t i = 0; i < std::size(kBaudRates); ++i) {
        if (kBaudRates[i] == baud) return static_cast<std::uint8_t>(i);
    }
    return std::nullopt;
}

std::optional<int> BaudFromCode(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(kBaudRates))) return std::nullopt;
    return kBaudRates[code];
}

namespace {

struct ProtocolNames {
    Protocol protocol;
    std::string_view name;
};

constexpr std::array kProtocolNames = {
    ProtocolNames{Protocol::Own, "arvo"},
    ProtocolNames{Protocol::ModbusRtu, "modbus-rtu"},
    ProtocolNames{Protocol::ModbusAscii, "modbus-ascii"},
    ProtocolNames{Protocol::Dcon, "dcon"},
};

}  // namespace

std::optional<Protocol> ProtocolFromName(std::string_view name) {
    if (EqualsIgnoreCase(name, "АРВО")) return Protocol::Own;
    for (const auto& entry : kProtocolNames) {
        if (EqualsIgnoreCase(name, entry.name)) return entry.protocol;
    }
    return std::nullopt;
}

std::string_view ProtocolName(Protocol protocol) {
    for (const auto& entry : kProtocolNames) {
        if (entry.protocol == protocol) return entry.name;
    }
    return "?";
}

}  // namespace zep8::sim
