// zep8.exe, the configurator's terminal program on Windows: every job of the
// command line, without windows.
#include <iostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/command_line.h"
#include "platform/registry_settings_store.h"
#include "zep8/windows_process.h"

int main() {
    zep8::UseConsoleForStandardStreams();
    const std::vector<std::string> args = zep8::CommandLineArguments();
    // A mistyped option must not start a run that does something else.
    if (const std::string refusal = zep8::RefusalText(zep8::ParseCommandLine(args));
        !refusal.empty()) {
        std::cerr << refusal << "\n";
        return zep8::kUsageErrorCode;
    }
    zep8::RegistrySettingsStore store;
    zep8::RunEnvironment environment{std::cout, std::cerr, store, zep8::ProgramFilePath()};
    const int code = zep8::RunApplication(args, environment);
    std::cout.flush();
    std::cerr.flush();
    return code;
}
