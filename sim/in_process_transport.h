#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "link/line/in_process_line.h"
#include "sim/line_transport.h"
#include "sim/virtual_module.h"

namespace zep8::sim {

// Virtual modules on a line inside the program (a "sim://N" port): what
// --simulate runs on where there are no pseudo-terminals. A module hears the
// program only at its own speed, data bits and parity, as on a real line.
class InProcessTransport : public LineTransport, private InProcessPeer {
  public:
    explicit InProcessTransport(std::vector<VirtualModule*> modules);
    ~InProcessTransport() override;
    InProcessTransport(const InProcessTransport&) = delete;
    InProcessTransport& operator=(const InProcessTransport&) = delete;

    bool start(std::string& error) override;
    void stop() override;
    const std::string& portPath() const override { return portName_; }

  private:
    std::optional<PeerReply> Answer(std::string_view frame, const PortSettings& settings) override;

    std::vector<VirtualModule*> modules_;
    // Both the starting thread's: start and stop come from the one owner.
    std::string portName_;
    bool attached_ = false;
};

}  // namespace zep8::sim
