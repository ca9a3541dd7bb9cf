#pragma once

// The machine's serial ports as one list, for the choice of "Порт компьютера".

#include <string>

namespace zep8 {

// The serial ports of the machine, ":"-separated: the ttys with a device
// behind them (leaving out 8250 placeholders without a UART), in natural
// order, then the stable links of /dev/serial/by-id.
std::string EnumeratePorts(const std::string& sysClassTty = "/sys/class/tty",
                           const std::string& byIdDirectory = "/dev/serial/by-id");

}  // namespace zep8
