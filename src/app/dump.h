#pragma once

#include <ostream>
#include <string>

namespace zep8 {

// Prints the configuration in a .zep file as a table (group, title, name,
// value, attribute, error) on `out`. A file that cannot be read or loaded is
// reported on `errors`; the result is the exit code (0, or 200).
int DumpConfiguration(const std::string& path, std::ostream& out, std::ostream& errors);

}  // namespace zep8
