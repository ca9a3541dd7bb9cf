#pragma once

#include <vector>

#include "app/application.h"

namespace zep8 {

// zep8 --doctor: the connection doctor in the terminal. Examines --port=PATH
// (or /port:N, else the port of the program's settings), prints its report
// line by line on standard output and returns 0 when a ZEP8 was found,
// otherwise the exit code of its verdict: 201 the port does not open, 202 no
// answer at all, 203 only unreadable answers, 205 interrupted, 206 another
// module answered. `sweepSpeeds` narrows the address sweep of a silent line
// (tests give one speed); empty, the default, sweeps every speed.
int RunDoctor(const OptionRecord& options, RunEnvironment& env,
              std::vector<unsigned> sweepSpeeds = {});

}  // namespace zep8
