#include "app/survey_run.h"

#include <cstdio>

#include "app/exit_code.h"
#include "app/preferences.h"
#include "app/terminal.h"
#include "link/exchange/device_io.h"
#include "link/line/line_by_name.h"
#include "model/catalogue.h"
#include "model/net_rs485_prg.h"
#include "ops/diagnostics/bus_survey.h"
#include "ops/fleet/csv_table.h"
#include "platform/process_state.h"
#include "platform/text.h"

namespace zep8 {
namespace {

class StreamSurveyObserver : public SurveyObserver {
  public:
    StreamSurveyObserver(std::ostream& out, std::ostream& err, const LinePort& port)
        : out_(out), err_(err), port_(port) {}

    void SurveyProgress(int done, int total, unsigned baudRate) override {
        if (baudRate == speed_) return;
        speed_ = baudRate;
        err_ << "zep8: " << baudRate << " бит/с, адреса с шагом 8 (" << port_.settings.addressLength
             << " бит), ожидание ответа "
             << BusSurvey::ReplyWait(port_.settings, port_.directionMode.load(), baudRate)
             << " мс; опрошено " << done << " из " << total << std::endl;
    }
    void SurveyFound(const SurveyFind& find) override { out_ << SurveyFindText(find) << std::endl; }

  private:
    std::ostream& out_;
    std::ostream& err_;
    const LinePort& port_;
    unsigned speed_ = 0;
};

std::string Seconds(std::chrono::milliseconds ms) {
    return FormatFixed(static_cast<double>(ms.count()) / 1000.0, 1);
}

}  // namespace

void ApplyCommandLineLine(const OptionRecord& o, NetRS485prg& program) {
    if (const std::string port = o.portName(); !port.empty()) program.SetValue("Port", port, false);
    if (o.baudRate) program.SetValue("bPS", std::to_string(o.baudRate), false);
    if (o.addressLength) program.SetValue("A.Len", std::to_string(o.addressLength), false);
    if (o.dataBits) program.SetValue("LEn", std::to_string(o.dataBits), false);
    if (!o.stopBits.empty()) program.SetValue("Sbit", o.stopBits, false);
    constexpr std::string_view kParities[] = {"", kParityEven, kParityOdd, kParityNone};
    if (o.parity >= PARITY_EVEN && o.parity <= PARITY_NONE)
        program.SetValue("PrtY", kParities[o.parity], false);
}

int RunSurvey(RunContext& run) {
    RunEnvironment& env = run.env;
    StreamPrompter prompter(env.err);
    DeviceIO io(std::make_unique<LineByName>(), prompter);
    Preferences(env.store).LoadProgramSettings(io.programNet());
    ApplyCommandLineLine(run.options, io.programNet());
    io.LoadPortSettings();
    if (run.options.converterMode == CONVERTER_OFF) io.port().directionMode = 1;
    run.AttachTrace(io);

    StreamSurveyObserver observer(env.out, env.err, io.port());
    BusSurvey survey(io, observer);
    const SurveyResult result = survey.Run(run.options.allSpeeds);
    if (!result.failure.empty()) {
        env.err << "zep8: " << result.failure << "\n";
        return ExitCodeFor(EXIT_PORT_ERROR, 0);
    }
    env.err << "zep8: найдено приборов: " << result.finds.size() << "; запросов " << result.asked
            << " за " << Seconds(result.took) << " с (нижняя граница " << Seconds(result.lowerBound)
            << " с)\n";
    std::uint32_t status = result.finds.empty() ? std::uint32_t{EXIT_TIMEOUT} : 0u;
    if (result.aborted) status = EXIT_INTERRUPTED;
    if (!run.options.csvPath.empty()) {
        if (const auto failure = SaveSurveyCsv(run.options.csvPath, result.finds)) {
            env.err << "zep8: " << *failure << "\n";
            status |= EXIT_FILE_ERROR;
        } else {
            env.err << "zep8: список приборов сохранен в " << run.options.csvPath << "\n";
        }
    }
    return ExitCodeFor(status, 0);
}

namespace {

class QuietSurveyObserver : public SurveyObserver {
  public:
    void SurveyProgress(int, int, unsigned) override {}
    void SurveyFound(const SurveyFind&) override {}
};

}  // namespace

std::optional<std::vector<int>> SurveyedAddresses(DeviceIO& io, std::ostream& err,
                                                  std::string& failure) {
    QuietSurveyObserver quiet;
    const SurveyResult result = BusSurvey(io, quiet).Run(false);
    if (!result.failure.empty()) {
        failure = result.failure;
        return std::nullopt;
    }
    std::vector<int> addresses;
    for (const SurveyFind& find : result.finds) addresses.push_back(find.address);
    err << "zep8: поиск нашел приборов: " << addresses.size() << "\n";
    return addresses;
}

}  // namespace zep8
