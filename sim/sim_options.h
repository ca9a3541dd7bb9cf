#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/line_settings.h"

namespace zep8::sim {

// Command line of zep8-sim.
struct SimOptions {
    LineSettings settings;  // its address: the first module's
    // One module per address on the same line (--address given more than once).
    std::vector<int> addresses;
    std::string linkPath;  // empty: no link
    bool lineTiming = false;
    bool lineCheck = true;
    bool sineSources = false;
    bool echo = false;
    bool ignoreBroadcast = false;
    bool help = false;
};

struct ParsedOptions {
    std::optional<SimOptions> options;
    std::string error;  // set when options is empty
};

// Arguments without the program name.
ParsedOptions ParseSimOptions(std::span<const std::string_view> args);

std::string_view SimUsage();

}  // namespace zep8::sim
