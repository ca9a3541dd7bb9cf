#pragma once

// The connection doctor as the window runs it, on a thread of its own with
// the session's port borrowed: the engine of the doctor dialog.

#include <atomic>
#include <memory>
#include <string_view>
#include <thread>

#include "link/exchange/poll_gate.h"
#include "ops/diagnostics/link_doctor.h"

namespace zep8 {

class Device;

// What the doctor's window shows; called on the doctor's thread.
class DoctorSessionView {
  public:
    virtual ~DoctorSessionView() = default;
    virtual void DoctorLine(std::string_view line) = 0;
    virtual void DoctorFinished(bool found) = 0;
};

// The connection doctor run from the window: it borrows the session's port
// (closed while the doctor has it), runs on a thread of its own, and can put
// what it found into the program's settings.
class DoctorSession : private DoctorObserver {
  public:
    DoctorSession(Device& device, DoctorSessionView& view, LinkDoctor::PortFactory makePort = {});
    // Stops the doctor and gives the port back to the session.
    ~DoctorSession() override;
    DoctorSession(const DoctorSession&) = delete;
    DoctorSession& operator=(const DoctorSession&) = delete;

    void Start();
    void Abort() { doctor_.Abort(); }
    bool Running() const { return started_ && !finished_.load(); }
    // A ZEP8 was found and its settings can be taken over.
    bool CanApply() const { return finished_.load() && found_.load(); }
    // The found speed, format, address, port, echo setting and converter
    // become the program's; the port reopens with them.
    bool Apply();

  private:
    void DoctorLine(std::string_view line) override { view_.DoctorLine(line); }

    Device& device_;
    DoctorSessionView& view_;
    LinkDoctor doctor_;
    bool started_ = false;
    bool portWasOpen_ = false;
    bool applied_ = false;
    std::atomic<bool> finished_{false};
    std::atomic<bool> found_{false};
    std::unique_ptr<PollPause> pause_;  // while the doctor has the port
    std::thread thread_;
};

}  // namespace zep8
