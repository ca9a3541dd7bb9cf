#pragma once

#include <deque>
#include <memory>
#include <span>
#include <string>

#include "sim/line_transport.h"
#include "sim/virtual_module.h"

namespace zep8::sim {

class PtyTransport;

// Several virtual ZEP8 on one line, as on one RS-485 bus: the same line
// settings, each module at its own base address with parameters of its own.
// The line is a pseudo-terminal, or a line inside the program ("sim://N"),
// which is all a system without pseudo-terminals has.
class SimulatedLine {
  public:
    enum class Kind { PseudoTerminal, InProcess };
    // The kind --simulate uses on this system.
    static Kind NativeKind();

    // One module per address, in this order; `line.address` is not used.
    SimulatedLine(const LineSettings& line, std::span<const int> addresses,
                  Kind kind = NativeKind());
    ~SimulatedLine();

    bool start(std::string& error) { return transport_->start(error); }
    void stop() { transport_->stop(); }

    const std::string& portPath() const { return transport_->portPath(); }
    int size() const { return static_cast<int>(modules_.size()); }
    VirtualModule& module(int i = 0) { return modules_.at(static_cast<std::size_t>(i)); }
    // The module at this base address; nullptr when none is.
    VirtualModule* moduleAt(int address);
    // The pseudo-terminal of a line of that kind.
    PtyTransport& transport();

  private:
    static std::vector<VirtualModule*> Pointers(std::deque<VirtualModule>& modules);
    static std::unique_ptr<LineTransport> MakeTransport(Kind kind,
                                                        std::vector<VirtualModule*> modules);

    std::deque<VirtualModule> modules_;  // never moves a module once made
    std::unique_ptr<LineTransport> transport_;
};

}  // namespace zep8::sim
