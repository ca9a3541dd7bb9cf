#include "platform/program_info.h"

#ifndef ZEP8_VERSION
#define ZEP8_VERSION "0.0.0"
#endif

namespace zep8 {

ProgramInfo CurrentProgramInfo() {
    ProgramInfo info;
    info.version = ZEP8_VERSION;
    info.copyright = "(C) ARVO, 2026";
    info.operatingSystem = OperatingSystemName();
    return info;
}

}  // namespace zep8
