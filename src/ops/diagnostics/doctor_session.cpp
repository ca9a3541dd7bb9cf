#include "ops/diagnostics/doctor_session.h"

#include "link/line/line_by_name.h"
#include "ops/device/device.h"

namespace zep8 {

DoctorSession::DoctorSession(Device& device, DoctorSessionView& view,
                             LinkDoctor::PortFactory makePort)
    : device_(device),
      view_(view),
      doctor_(
          makePort ? std::move(makePort) : [] { return std::make_unique<LineByName>(); }, *this) {}

DoctorSession::~DoctorSession() {
    doctor_.Abort();
    if (thread_.joinable()) thread_.join();
    if (portWasOpen_ && !applied_) device_.ReopenPort(false);
    pause_.reset();
}

void DoctorSession::Start() {
    if (started_) return;
    started_ = true;
    // The port is opened exclusively: the doctor needs it to itself, and no
    // poll may open it again meanwhile.
    pause_ = std::make_unique<PollPause>(device_.polls());
    portWasOpen_ = device_.PortNow().open;
    device_.ClosePort();
    const DoctorSetup setup = DoctorSetupFrom(device_.programNet(), device_.port().directionMode);
    thread_ = std::thread([this, setup] {
        const bool found = doctor_.Run(setup) == 0;
        found_ = found;
        finished_ = true;
        view_.DoctorFinished(found);
    });
}

bool DoctorSession::Apply() {
    if (!CanApply()) return false;
    if (thread_.joinable()) thread_.join();
    ApplyDoctorFindings(doctor_.findings(), device_.programNet());
    device_.port().directionMode = doctor_.findings().directionMode;
    device_.ReopenPort(true);
    applied_ = true;
    pause_.reset();
    return true;
}

}  // namespace zep8
