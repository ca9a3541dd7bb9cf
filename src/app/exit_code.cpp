#include "app/exit_code.h"

namespace zep8 {

int ExitCodeFor(std::uint32_t exitStatus, int normalCode) {
    constexpr int kFirstCode = 200;
    constexpr int kBits = 7;  // 0x01 ... 0x40
    for (int bit = 0; bit < kBits; ++bit) {
        if (exitStatus & (std::uint32_t{1} << bit)) return kFirstCode + bit;
    }
    return normalCode;
}

}  // namespace zep8
