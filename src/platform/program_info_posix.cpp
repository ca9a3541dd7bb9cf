#include "platform/program_info.h"

#include <sys/utsname.h>

#ifndef ZEP8_VERSION
#define ZEP8_VERSION "0.0.0"
#endif

namespace zep8 {

ProgramInfo CurrentProgramInfo() {
    ProgramInfo info;
    info.version = ZEP8_VERSION;
    info.copyright = "(C) ARVO, 2026";
    info.operatingSystem = "<неизвестно>";
    utsname system{};
    if (uname(&system) == 0) {
        info.operatingSystem =
            std::string(system.sysname) + " " + system.release + " " + system.machine;
    }
    return info;
}

}  // namespace zep8
