#pragma once

#include <string>

namespace zep8 {

// Device path of a port name: a name starting with "/" is a path, "COMn"
// is /dev/ttyS(n-1), any other name lives in /dev.
std::string PortDevicePath(const std::string& name);

// Why opening `path` failed with `error` (an errno value), for the operator.
std::string DescribeOpenFailure(const std::string& path, int error);

// The reason for a refused permission, from the facts about the device's group.
std::string PermissionReason(const std::string& path, const std::string& group,
                             const std::string& user, bool inGroupNow, bool inGroupListed);

// The serial ports of the machine, ":"-separated: the ttys with a device
// behind them (leaving out 8250 placeholders without a UART), in natural
// order, then the stable links of /dev/serial/by-id.
std::string EnumeratePorts(const std::string& sysClassTty = "/sys/class/tty",
                           const std::string& byIdDirectory = "/dev/serial/by-id");

}  // namespace zep8
