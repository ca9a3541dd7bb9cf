#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim/line_settings.h"

namespace zep8::sim {

// The one command the module answers while it speaks a foreign protocol: it
// brings the module back to its own protocol.
inline constexpr std::uint8_t kModbusReturnCommand[] = {0x05, 0xF0, 0xF0, 0xFF, 0x00};
inline constexpr std::string_view kDconReturnCommand = "ARVO";

std::uint16_t ModbusCrc(std::span<const std::uint8_t> bytes);
std::uint8_t ModbusLrc(std::span<const std::uint8_t> bytes);
std::uint8_t DconChecksum(std::string_view text);

// The reply to `frame` (as received, terminator included) when it is the
// return command for `address` in `protocol`; nothing for anything else.
std::optional<std::string> ReturnCommandReply(Protocol protocol, int address,
                                              std::string_view frame);

}  // namespace zep8::sim
