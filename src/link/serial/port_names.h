#pragma once

// Port names and the device paths behind them, and why a port did not open,
// in the operator's words.

#include <string>
#include <string_view>

namespace zep8 {

// Device path of a port name: a name starting with "/" is a path, "COMn"
// is /dev/ttyS(n-1), any other name lives in /dev.
std::string PortDevicePath(const std::string& name);

// For --help: what the port of "/port:N" is on this system, and a port path
// as the operator would give it to --port=.
std::string_view PortNumberMeaning();
std::string_view ExamplePortPath();

// Why opening `path` failed with `error` (an errno value), for the operator:
// no such device, the group that owns it, or the program that holds it.
std::string DescribeOpenFailure(const std::string& path, int error);

// The reason for a refused permission, from the facts about the device's group.
std::string PermissionReason(const std::string& path, const std::string& group,
                             const std::string& user, bool inGroupNow, bool inGroupListed);

}  // namespace zep8
