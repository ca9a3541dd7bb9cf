#pragma once

#include <cstdint>

namespace zep8 {

// The process exit code for an exit status word: the lowest set bit decides
// (0x01 gives 200 ... 0x40 gives 206); with no bit set, `normalCode`.
int ExitCodeFor(std::uint32_t exitStatus, int normalCode);

}  // namespace zep8
