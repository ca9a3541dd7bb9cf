#include <sys/utsname.h>

#include "platform/program_info.h"

namespace zep8 {

std::string OperatingSystemName() {
    utsname system{};
    if (uname(&system) != 0) return "<неизвестно>";
    return std::string(system.sysname) + " " + system.release + " " + system.machine;
}

}  // namespace zep8
