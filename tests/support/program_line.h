#pragma once

// Shared by the tests and the benchmarks: the program's port settings for a
// virtual module on `port` with the line `line`.
#include <string>

#include "model/net_rs485_prg.h"
#include "sim/line_settings.h"

namespace zep8::testing {

inline void PointProgramAt(NetRS485prg& net, const std::string& port,
                           const sim::LineSettings& line) {
    net.InitParameters();
    net.SetValue("Port", port, false);
    net.SetValue("bPS", std::to_string(line.baud), false);
    net.SetValue("Addr", std::to_string(line.address), false);
    net.SetValue("A.Len", std::to_string(line.addressBits), false);
    net.SetValue("LEn", "8", false);
    net.SetValue("Sbit", "1", false);
    net.SetValue("PrtY", "Отсутствует", false);
}

}  // namespace zep8::testing
