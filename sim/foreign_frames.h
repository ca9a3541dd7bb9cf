#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/foreign/foreign_frame.h"
#include "sim/line_settings.h"

namespace zep8::sim {

// While it speaks a foreign protocol the module answers only the command that
// brings it back to its own (kModbusReturnCommand, kDconReturnCommand).
// The reply to `frame` (as received, terminator included) when it is the
// return command for `address` in `protocol`; nothing for anything else.
std::optional<std::string> ReturnCommandReply(Protocol protocol, int address,
                                              std::string_view frame);

}  // namespace zep8::sim
