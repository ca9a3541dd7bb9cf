#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zep8 {

struct PortSettings;

// The process exit code for an exit status word: the lowest set bit decides
// (0x01 gives 200 ... 0x40 gives 206); with no bit set, `normalCode`.
int ExitCodeFor(std::uint32_t exitStatus, int normalCode);

// What an exit code of 200 ... 206 tells the calling program, in words.
std::string_view ExitCodeMeaning(int code);

// The one line a run without windows ends with when it fails: "zep8: " and
// the meaning, the reason (on one line) and the port with its line format.
std::string FailureLine(int code, std::string_view reason, const PortSettings* port);

}  // namespace zep8
