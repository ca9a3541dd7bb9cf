#include <windows.h>

#include "platform/program_info.h"

#ifndef ZEP8_VERSION
#define ZEP8_VERSION "0.0.0"
#endif

namespace zep8 {

ProgramInfo CurrentProgramInfo() {
    ProgramInfo info;
    info.version = ZEP8_VERSION;
    info.copyright = "(C) ARVO, 2026";
    info.operatingSystem = "Windows";
    // GetVersionEx answers as the program's manifest allows; ntdll tells the truth.
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        if (auto get = reinterpret_cast<RtlGetVersion>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))) {
            OSVERSIONINFOW version{};
            version.dwOSVersionInfoSize = sizeof version;
            if (get(&version) == 0) {
                info.operatingSystem += " " + std::to_string(version.dwMajorVersion) + "." +
                                        std::to_string(version.dwMinorVersion) + "." +
                                        std::to_string(version.dwBuildNumber);
            }
        }
    }
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    if (system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64) info.operatingSystem += " x86_64";
    return info;
}

}  // namespace zep8
