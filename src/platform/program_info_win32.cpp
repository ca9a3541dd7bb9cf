#include <windows.h>

#include "platform/program_info.h"

namespace zep8 {

std::string OperatingSystemName() {
    std::string name = "Windows";
    // GetVersionEx answers as the program's manifest allows; ntdll tells the truth.
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        if (auto get = reinterpret_cast<RtlGetVersion>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))) {
            OSVERSIONINFOW version{};
            version.dwOSVersionInfoSize = sizeof version;
            if (get(&version) == 0) {
                name += " " + std::to_string(version.dwMajorVersion) + "." +
                        std::to_string(version.dwMinorVersion) + "." +
                        std::to_string(version.dwBuildNumber);
            }
        }
    }
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    if (system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64) name += " x86_64";
    return name;
}

}  // namespace zep8
