#pragma once

#include <string>

#include "app/application.h"

namespace zep8 {

// Why --report cannot go with the rest of the command line; empty when it can.
std::string ReportUsageError(const OptionRecord& options);

// zep8 --report=FILE.html: reads the module (at /addr:N or the address of the
// settings) and writes the service report, compared with ФАЙЛ.zep when one is
// named. One line per module on standard output; the exit code as the
// automated runs give it.
int RunReport(RunContext& run);

}  // namespace zep8
