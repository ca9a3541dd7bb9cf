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

bool SetPeerBaudRate(int masterFd, int baud) {
    termios2 t{};
    if (ioctl(masterFd, TCGETS2, &t) != 0) return false;
    t.c_cflag = (t.c_cflag & ~CBAUD) | BOTHER;
    t.c_cflag &= ~(CBAUD << IBSHIFT);  // the input speed follows the output speed
    t.c_ospeed = static_cast<speed_t>(baud);
    t.c_ispeed = static_cast<speed_t>(baud);
    return ioctl(masterFd, TCSETS2, &t) == 0;
}

}  // namespace zep8::sim
