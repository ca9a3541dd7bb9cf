#pragma once

#include <deque>
#include <span>
#include <string>

#include "sim/pty_transport.h"
#include "sim/virtual_module.h"

namespace zep8::sim {

// Several virtual ZEP8 on one pseudo-terminal, as on one RS-485 line: the
// same line settings, each module at its own base address with parameters
// of its own.
class SimulatedLine {
  public:
    // One module per address, in this order; `line.address` is not used.
    SimulatedLine(const LineSettings& line, std::span<const int> addresses);

    bool start(std::string& error) { return transport_.start(error); }
    void stop() { transport_.stop(); }

    const std::string& portPath() const { return transport_.slavePath(); }
    int size() const { return static_cast<int>(modules_.size()); }
    VirtualModule& module(int i = 0) { return modules_.at(static_cast<std::size_t>(i)); }
    // The module at this base address; nullptr when none is.
    VirtualModule* moduleAt(int address);
    PtyTransport& transport() { return transport_; }

  private:
    static std::vector<VirtualModule*> Pointers(std::deque<VirtualModule>& modules);

    std::deque<VirtualModule> modules_;  // never moves a module once made
    PtyTransport transport_;
};

}  // namespace zep8::sim
