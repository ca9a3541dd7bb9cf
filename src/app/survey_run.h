#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/application.h"

namespace zep8 {

// zep8 --survey [--all-speeds]: asks every base address of the bus and lists
// the modules that answer on standard output (and, with --csv=FILE, as a
// table in FILE; 200 when it cannot be written). 0 when one answered, 202 when
// none did, 201 when the port does not open.
int RunSurvey(RunContext& run);

// --addresses=survey: the base addresses of the modules that answer on `io`
// at the program's speed, asked without a line per find; the count goes to
// `err`. Nothing when the port could not be opened (`failure` says why).
std::optional<std::vector<int>> SurveyedAddresses(DeviceIO& io, std::ostream& err,
                                                  std::string& failure);

// The line the command line names, over the program's stored settings: the
// port (--port=PATH or /port:N), its speed, format and address length.
void ApplyCommandLineLine(const OptionRecord& options, NetRS485prg& program);

}  // namespace zep8
