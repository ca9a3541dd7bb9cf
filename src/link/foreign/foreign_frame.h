#pragma once

// The foreign protocols' frames (ModBus RTU and ASCII, DCON): the return
// command to the module's own protocol, built, and its reply checked.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zep8 {

// The one command the program sends in a foreign protocol: it brings the
// module back to its own protocol. ModBus answers with an echo of it.
inline constexpr std::uint8_t kModbusReturnCommand[] = {0x05, 0xF0, 0xF0, 0xFF, 0x00};
inline constexpr std::string_view kDconReturnCommand = "ARVO";

// ModBus CRC-16 (initial FFFF, reflected polynomial A001); sent low byte first.
std::uint16_t ModbusCrc(std::span<const std::uint8_t> bytes);
// Two's complement of the 8-bit sum.
std::uint8_t ModbusLrc(std::span<const std::uint8_t> bytes);
// 8-bit sum of the characters.
std::uint8_t DconChecksum(std::string_view text);

// The line text of `command` to `address` in protocol mode 1 (ModBUS-RTU),
// 2 (ModBUS-ASCII) or 3 (DCON).
std::string BuildForeignFrame(int protocolMode, std::uint8_t address,
                              std::span<const std::uint8_t> command);

// Checks a reply as received and, on success, leaves the bytes after the
// address in `data`. Returns a ForeignStatus.
int ParseForeignReply(int protocolMode, std::uint8_t address, std::string_view received,
                      std::vector<std::uint8_t>& data);

}  // namespace zep8
