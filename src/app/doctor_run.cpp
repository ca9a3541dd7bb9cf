#include "app/doctor_run.h"

#include <utility>

#include "app/exit_code.h"
#include "app/preferences.h"
#include "link/line/line_by_name.h"
#include "model/net_rs485_prg.h"
#include "ops/diagnostics/link_doctor.h"

namespace zep8 {
namespace {

class StreamDoctorObserver : public DoctorObserver {
  public:
    explicit StreamDoctorObserver(std::ostream& out) : out_(out) {}
    void DoctorLine(std::string_view line) override { out_ << line << std::endl; }

  private:
    std::ostream& out_;
};

}  // namespace

int RunDoctor(const OptionRecord& options, RunEnvironment& env, std::vector<unsigned> sweepSpeeds) {
    NetRS485prg program;
    Preferences(env.store).LoadProgramSettings(program);
    const int directionMode = options.converterMode == CONVERTER_OFF ? 1 : 0;
    DoctorSetup setup = DoctorSetupFrom(program, directionMode);
    if (const std::string port = options.portName(); !port.empty()) setup.settings.name = port;
    StreamDoctorObserver observer(env.out);
    LinkDoctor doctor([] { return std::make_unique<LineByName>(); }, observer);
    doctor.SetSweepSpeeds(std::move(sweepSpeeds));
    return ExitCodeFor(doctor.Run(setup), 0);
}

}  // namespace zep8
