#include "sim/simulated_line.h"

namespace zep8::sim {
namespace {

std::deque<VirtualModule> MakeModules(const LineSettings& line, std::span<const int> addresses) {
    std::deque<VirtualModule> modules;
    for (const int address : addresses) {
        LineSettings own = line;
        own.address = address;
        modules.emplace_back(own);
    }
    return modules;
}

}  // namespace

SimulatedLine::SimulatedLine(const LineSettings& line, std::span<const int> addresses, Kind kind)
    : modules_(MakeModules(line, addresses)), transport_(MakeTransport(kind, Pointers(modules_))) {}

SimulatedLine::~SimulatedLine() = default;

std::vector<VirtualModule*> SimulatedLine::Pointers(std::deque<VirtualModule>& modules) {
    std::vector<VirtualModule*> pointers;
    for (VirtualModule& m : modules) pointers.push_back(&m);
    return pointers;
}

VirtualModule* SimulatedLine::moduleAt(int address) {
    for (VirtualModule& m : modules_)
        if (m.activeSettings().address == address) return &m;
    return nullptr;
}

}  // namespace zep8::sim
