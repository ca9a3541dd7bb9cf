#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "sim/line_transport.h"
#include "sim/virtual_module.h"

namespace zep8::sim {

// Puts a VirtualModule on a pseudo-terminal: the module keeps the master side,
// a program opens the slave path as its serial port. Requests are read and
// answered on a thread of the transport's own. Several modules may share the
// line, as on an RS-485 bus: every one hears every frame, each answers its own
// address; the first one sets the line's framing.
class PtyTransport : public LineTransport {
  public:
    explicit PtyTransport(VirtualModule& module);
    explicit PtyTransport(std::vector<VirtualModule*> modules);
    ~PtyTransport() override;
    PtyTransport(const PtyTransport&) = delete;
    PtyTransport& operator=(const PtyTransport&) = delete;

    // Creates the pseudo-terminal; false with a reason when the system refuses.
    bool open(std::string& error);
    const std::string& slavePath() const { return slavePath_; }

    // A symbolic link to the slave path, removed again by close().
    bool createLink(const std::string& linkPath, std::string& error);

    // Starts answering (opening first when needed); stop() returns once the
    // thread has ended.
    bool start(std::string& error) override;
    void stop() override;
    const std::string& portPath() const override { return slavePath_; }
    bool running() const { return thread_.joinable(); }

    void close();

    // A module on a real line hears only noise from a program at another speed;
    // with the check on (the default) such requests go unanswered. Counted
    // once per frame that some module did not hear.
    void setLineCheck(bool on) { lineCheck_ = on; }
    int mismatchedFrames() const { return mismatchedFrames_; }

    // A two-wire adapter without echo cancellation: every byte the program
    // sends comes back to it at once, before any answer.
    void setEcho(bool on) { echo_ = on; }

  private:
    void run();
    void respond(std::string_view frame, std::chrono::steady_clock::time_point firstByte);
    // False when stopped while waiting.
    bool waitUntil(std::chrono::steady_clock::time_point deadline);
    void writeAll(std::string_view bytes);

    std::optional<Reply> replyOnTheLine(std::string_view frame);

    VirtualModule& module_;  // the first one
    std::vector<VirtualModule*> modules_;
    int master_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    std::atomic<bool> lineCheck_{true};
    std::atomic<int> mismatchedFrames_{0};
    std::atomic<bool> echo_{false};
    Event stop_{Event::Reset::Manual};
    std::thread thread_;
};

}  // namespace zep8::sim
