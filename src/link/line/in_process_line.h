#pragma once

// The line inside the program ("sim://N"): a peer such as the virtual module
// answers in the same process, where there is no pseudo-terminal to use.

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "link/line/line_port.h"
#include "link/line/line_timings.h"

namespace zep8 {

// A reply of a device at the far end of an in-process line.
struct PeerReply {
    std::string bytes;
    // When the reply is whole at the program's end, counted from the
    // request's first character.
    std::chrono::nanoseconds delay{0};
};

// What sits at the far end of an in-process line: the virtual module of
// --simulate on a system that has no pseudo-terminals to put it on.
class InProcessPeer {
  public:
    virtual ~InProcessPeer() = default;
    // The reply to `frame` sent with the program's `settings`; nothing when no
    // device on the line answers (none at that address, or none that hears
    // the line at these settings). Called on any thread.
    virtual std::optional<PeerReply> Answer(std::string_view frame, const PortSettings& settings) = 0;
};

// Puts `peer` on a line of its own and gives the line's port name,
// "sim://N"; the peer must stay until DetachInProcessPeer has returned.
std::string AttachInProcessPeer(InProcessPeer& peer);
// Takes the line away; a transfer under way ends first.
void DetachInProcessPeer(const std::string& portName);
bool IsInProcessPortName(std::string_view name);

// The program's side of an in-process line. A reply takes as long as the far
// end says; a request nobody answers waits out the port's reply wait, as on a
// serial line at the port's settings.
class InProcessLine {
  public:
    explicit InProcessLine(LinePort& owner) : owner_(owner) {}

    int Open();
    int Close();
    bool IsOpen() const { return open_; }
    int Transfer(std::string_view frame, std::string& reply);
    std::string OpenFailureReason() const { return failure_; }

  private:
    LinePort& owner_;
    std::atomic<bool> open_{false};
    std::string failure_;
    LineTimings timings_;
};

}  // namespace zep8
