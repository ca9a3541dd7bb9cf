#include "sim/peer_line.h"

// termios2 carries any speed as a number; it cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace zep8::sim {

std::optional<int> PeerBaudRate(int masterFd) {
    termios2 t{};
    // On a master, the termios requests reach the slave's settings.
    if (ioctl(masterFd, TCGETS2, &t) != 0) return std::nullopt;
    return static_cast<int>(t.c_ospeed);
}

}  // namespace zep8::sim
