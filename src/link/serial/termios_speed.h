#pragma once

// Any baud rate on a tty through termios2 (Linux only).

namespace zep8 {

// Sets any baud rate (standard or not) on a tty; false when the driver refuses.
// Kept apart: the kernel's termios2 header cannot share a file with <termios.h>.
bool SetBaudRate(int fd, unsigned baudRate);

}  // namespace zep8
