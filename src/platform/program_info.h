#pragma once

#include <string>

namespace zep8 {

// The rows of the program's service node: its version, copyright notice and
// the operating system it runs on.
struct ProgramInfo {
    std::string version;
    std::string copyright;
    std::string operatingSystem;
};

// Version and copyright compiled in from the build; the system as uname
// reports it (kernel name, release, machine), "<неизвестно>" when it cannot.
ProgramInfo CurrentProgramInfo();
// The system as the program reports it; one per system.
std::string OperatingSystemName();

}  // namespace zep8
