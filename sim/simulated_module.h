#pragma once

#include <string>

#include "sim/pty_transport.h"
#include "sim/virtual_module.h"

namespace zep8::sim {

// A virtual ZEP8 together with its pseudo-terminal of its own: what a test of
// one module starts (zep8-sim and the configurator's --simulate start a
// SimulatedLine, one line for one or several modules).
class SimulatedModule {
  public:
    explicit SimulatedModule(const LineSettings& settings = {});

    // Opens the pseudo-terminal and starts answering on it.
    bool start(std::string& error);
    void stop() { transport_.stop(); }

    // The path a program opens as its serial port.
    const std::string& portPath() const { return transport_.slavePath(); }
    VirtualModule& module() { return module_; }
    PtyTransport& transport() { return transport_; }

  private:
    VirtualModule module_;
    PtyTransport transport_{module_};
};

}  // namespace zep8::sim
