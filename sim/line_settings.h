#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zep8::sim {

enum class Protocol : std::uint8_t { Own = 0, ModbusRtu = 1, ModbusAscii = 2, Dcon = 3 };
enum class Parity : std::uint8_t { None = 0, Even = 1, Odd = 2 };

// The module's serial-line and bus settings, as the values of "bPS", "LEn",
// "PrtY", "Sbit", "A.Len", "Addr", "RS.dL" and "Prot" describe them.
struct LineSettings {
    int baud = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    int stopBits = 1;
    int addressBits = 8;
    int address = 16;
    int responseDelayMs = 2;
    Protocol protocol = Protocol::Own;

    // Start bit, data bits, parity bit, stop bits.
    int bitsPerCharacter() const;
    std::chrono::nanoseconds characterTime() const;
    // Time of `characters` characters on the wire.
    std::chrono::nanoseconds wireTime(std::size_t characters) const;

    // Why the module would refuse to work with these settings; nothing when usable.
    std::optional<std::string_view> unusableReason() const;

    bool operator==(const LineSettings&) const = default;
};

// The enumeration codes the module uses on the wire. They are fixed here and
// do not follow the configurator's item lists.
inline constexpr int kBaudRates[] = {2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 115200};

std::optional<std::uint8_t> BaudCode(int baud);
std::optional<int> BaudFromCode(int code);
std::optional<Protocol> ProtocolFromName(std::string_view name);
std::string_view ProtocolName(Protocol protocol);

}  // namespace zep8::sim
