// The doctor's last resort for the own protocol: a module that ignores
// "any module" (255) is looked for at every base address, by the bus survey.
#include <algorithm>

#include "link/exchange/device_io.h"
#include "link/line/line_timings.h"
#include "ops/diagnostics/bus_survey.h"
#include "ops/diagnostics/link_doctor.h"
#include "platform/process_state.h"
#include "platform/prompter.h"
#include "platform/text.h"

namespace zep8 {
namespace {

// Tells the survey's progress as one line per speed, and stops it at the
// first ZEP8.
class SurveyReport : public SurveyObserver {
  public:
    SurveyReport(std::function<void(const std::string&)> say, BusSurvey*& survey)
        : say_(std::move(say)), survey_(survey) {}

    void SurveyProgress(int done, int total, unsigned baudRate) override {
        if (baudRate == speed_) return;
        speed_ = baudRate;
        const std::vector<int> bases = BusSurvey::BaseAddresses(8);
        say_("  " + std::to_string(baudRate) + " бит/с, адреса " + std::to_string(bases.front()) +
             "–" + std::to_string(bases.back()) + " (пройдено " + std::to_string(done) + " из " +
             std::to_string(total) + ")");
    }
    void SurveyFound(const SurveyFind& find) override {
        say_("  Найден прибор: " + SurveyFindText(find) + ".");
        if (IsZep8(find.device) && survey_) survey_->Abort();
    }

  private:
    std::function<void(const std::string&)> say_;
    BusSurvey*& survey_;
    unsigned speed_ = 0;
};

}  // namespace

std::vector<unsigned> LinkDoctor::SweepOrder() const {
    // The program's speed first, as the survey does: the likeliest one.
    std::vector<unsigned> speeds{setup_.settings.baudRate};
    for (const unsigned speed : BusSurvey::Speeds()) {
        if (speed != speeds.front()) speeds.push_back(speed);
    }
    if (!sweepSpeeds_.empty()) {
        std::erase_if(speeds, [this](unsigned speed) {
            return std::ranges::find(sweepSpeeds_, speed) == sweepSpeeds_.end();
        });
    }
    return speeds;
}

bool LinkDoctor::SweepAddresses() {
    if (Aborted() || findings_.answered) return false;
    const std::vector<unsigned> speeds = SweepOrder();
    PortSettings settings = setup_.settings;
    settings.addressLength = 8;
    const bool parity = settings.parityScheme != SCHEME_NONE;
    int expectedMs = 0;
    for (const unsigned speed : speeds) {
        expectedMs += static_cast<int>(BusSurvey::BaseAddresses(8).size()) *
                      ProbeReplyWait(speed, parity, settings.stopBits == 2, false);
    }
    Say("На адрес 255 не ответил никто: поиск прибора по всем базовым адресам (8 бит) на каждой "
        "скорости, около " +
        FormatFixed(expectedMs / 1000.0, 0) + " с:");

    SilentPrompter prompter;
    std::unique_ptr<LinePort> port = makePort_();
    port->settings = settings;
    port->directionMode = 0;  // keying RTS also drives an automatic converter
    const bool echo = setup_.echo || echoSeen_;
    port->echoSuppression = echo;
    DeviceIO io(std::move(port), prompter);
    BusSurvey* running = nullptr;
    SurveyReport report([this](const std::string& line) { Say(line); }, running);
    BusSurvey survey(io, report);
    {
        // The port is opened exclusively: the survey's own handle needs it.
        std::lock_guard lock(portMutex_);
        if (port_->IsOpen()) port_->Close();
        lineOpen_ = false;
        survey_ = running = &survey;
        surveyPort_ = &io.port();
        if (aborted_) surveyPort_->stopEvent.set();
    }
    processState().ProtocolMode = PROTOCOL_OWN;
    const SurveyResult result = Aborted() ? SurveyResult{} : survey.RunAt(speeds);
    {
        std::lock_guard lock(portMutex_);
        survey_ = running = nullptr;
        surveyPort_ = nullptr;
    }
    if (Aborted()) return false;
    if (!result.failure.empty()) Say(result.failure);
    if (result.finds.empty()) {
        Say("Ни по одному адресу прибор не ответил (" +
            FormatFixed(static_cast<double>(result.took.count()) / 1000.0, 1) + " с).");
        return false;
    }
    const auto zep8 = std::ranges::find_if(
        result.finds, [](const SurveyFind& find) { return IsZep8(find.device); });
    const SurveyFind& find = zep8 != result.finds.end() ? *zep8 : result.finds.front();
    Line line{settings, 0, echo, PROTOCOL_OWN};
    line.settings.baudRate = find.baudRate;
    const Reply reply = Probe(line, find.address);
    if (reply.outcome == Outcome::Answer) return Identify(find.address);
    if (reply.outcome == Outcome::ErrorReply) findings_.answered = true;
    return false;
}

}  // namespace zep8
