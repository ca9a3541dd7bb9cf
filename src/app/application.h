#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zep8 {

class SettingsStore;

struct RunEnvironment {
    std::ostream& out;
    std::ostream& err;
    SettingsStore& store;
    std::string programPath;  // absolute path of the program file
};

// One run of the configurator without windows: the command line's action on
// the module, or --dump, --help, --version. Returns the process exit code.
int RunApplication(const std::vector<std::string>& args, RunEnvironment& env);

}  // namespace zep8
