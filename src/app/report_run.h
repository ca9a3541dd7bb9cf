#pragma once

#include <string>

#include "app/application.h"

namespace zep8 {

// zep8 --report=FILE.html: reads the module (at /addr:N or the address of the
// settings), or each module of --addresses=, and writes the service report,
// compared with ФАЙЛ.zep when one is named. One line per module on standard
// output; the exit code is the lowest failure bit over all modules.
int RunReport(RunContext& run);

}  // namespace zep8
