#pragma once

#include <optional>

namespace zep8::sim {

// The speed the program on the slave side of a pseudo-terminal has set, read
// through the master. A pseudo-terminal forces 8 data bits without parity, so
// the speed is the only part of the program's line format it keeps.
std::optional<int> PeerBaudRate(int masterFd);
// Presets the speed, so that a program that leaves it alone talks at the module's.
bool SetPeerBaudRate(int masterFd, int baud);

}  // namespace zep8::sim
