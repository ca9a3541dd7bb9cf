#pragma once

#include "app/application.h"

namespace zep8 {

// zep8 --addresses=40,48,56 /write FILE (or --addresses=survey): writes the
// file's general parameters and inputs to each listed module in turn and
// compares each with it afterwards; one line per module on standard output,
// the results as a table with --csv=FILE. The exit code is the lowest failure
// bit over all modules.
int RunBatchWrite(RunContext& run);

}  // namespace zep8
