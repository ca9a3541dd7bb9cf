#include "app/batch_run.h"

#include "app/exit_code.h"
#include "app/preferences.h"
#include "app/survey_run.h"
#include "app/terminal.h"
#include "app/watchers.h"
#include "link/line/line_by_name.h"
#include "model/number_text.h"
#include "ops/diagnostics/bus_survey.h"
#include "ops/fleet/batch_write.h"
#include "platform/process_state.h"
#include "platform/text.h"

namespace zep8 {
namespace {

class StreamBatchObserver : public BatchObserver {
  public:
    StreamBatchObserver(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    void ModuleStarted(int index, int count, int address) override {
        err_ << "zep8: прибор " << index + 1 << " из " << count << ", адрес " << address
             << std::endl;
    }
    void ModuleProgress(BatchStage, int, int) override {}
    void ModuleFinished(const BatchRow& row) override { out_ << BatchRowText(row) << std::endl; }

  private:
    std::ostream& out_;
    std::ostream& err_;
};

// --addresses=survey: every module that answers at the program's speed, found
// on a link of the survey's own before the document takes the port.
std::optional<std::vector<int>> AddressesOnTheLine(RunContext& run, std::string& failure) {
    StreamPrompter prompter(run.env.err);
    DeviceIO io(std::make_unique<LineByName>(), prompter);
    Preferences(run.env.store).LoadProgramSettings(io.programNet());
    ApplyCommandLineLine(run.options, io.programNet());
    io.LoadPortSettings();
    if (run.options.converterMode == CONVERTER_OFF) io.port().directionMode = 1;
    run.AttachTrace(io);
    return SurveyedAddresses(io, run.env.err, failure);
}

std::string FailedModules(const BatchResult& result) {
    std::string text;
    for (const BatchRow& row : result.rows) {
        if (row.verified()) continue;
        text += (text.empty() ? "" : "; ") + std::string("адрес ") + std::to_string(row.address) +
                ": " + row.failure;
    }
    if (result.aborted) text += (text.empty() ? "" : "; ") + std::string("запись прервана");
    return text;
}

}  // namespace

int RunBatchWrite(RunContext& run) {
    RunEnvironment& env = run.env;
    if (const int code = run.Prepare(); code != kRunGoesOn) return code;
    ProcessState& state = processState();
    if (NeedsPortButHasNone(run.options)) {
        const int code = ExitCodeFor(EXIT_PORT_ERROR, 0);
        env.err << FailureLine(code, kNeedsPortText, nullptr) << "\n";
        return code;
    }
    std::vector<int> addresses = run.options.addresses;
    if (run.options.addressSurvey) {
        std::string failure;
        const auto found = AddressesOnTheLine(run, failure);
        std::uint32_t verdict = 0;
        if (!found) verdict = EXIT_PORT_ERROR;
        if (found && found->empty()) verdict = EXIT_TIMEOUT;
        if (verdict != 0) {
            const int code = ExitCodeFor(verdict, 0);
            env.err << FailureLine(code, found ? "поиск не нашел ни одного прибора" : failure,
                                   nullptr)
                    << "\n";
            return code;
        }
        addresses = *found;
    }

    StreamPrompter prompter(env.err);
    DocumentUi ui;
    DocumentSetup setup = run.MakeDocumentSetup();
    // The start's link check asks a module of the list, not the program's address.
    setup.options.address = std::to_string(addresses.front());
    setup.options.actionFlags |= ACTION_LINK_SETTINGS;
    Document document(std::make_unique<LineByName>(), env.store, prompter, ui, setup);
    Device& device = document.device();
    // The program keeps its own address; the list is for this run only.
    NetRS485prg stored;
    Preferences(env.store).LoadProgramSettings(stored);
    const std::string ownAddress = stored.GetValue("Addr");
    if (HasDigit(ownAddress)) device.UseAddress(std::atoi(ownAddress.c_str()));

    if (!document.Start()) {
        const int code = ExitCodeFor(state.ExitStatus() | EXIT_FILE_ERROR, 0);
        env.err << FailureLine(code, prompter.lastText(), nullptr) << "\n";
        return code;
    }
    ApplyConverterOption(run.options, device);
    // The start's check is not a module's verdict: each module gets its own.
    state.SetExitStatus(0);

    StreamBatchObserver observer(env.out, env.err);
    BatchWrite batch(device, observer);
    Event stop(Event::Reset::Manual);
    BatchResult result;
    {
        ExitWatcher exitWatcher(
            stop, run.exitEvent.get(), [&batch] { batch.AbortNow(); }, [] {});
        result = batch.Run(addresses);
        stop.set();
    }
    int verified = 0;
    for (const BatchRow& row : result.rows) verified += row.verified() ? 1 : 0;
    env.err << "zep8: записано и проверено приборов: " << verified << " из " << addresses.size()
            << " за " << FormatFixed(static_cast<double>(result.took.count()) / 1000.0, 1)
            << " с\n";
    std::uint32_t status = state.ExitStatus();
    std::string reason = FailedModules(result);
    if (!run.options.csvPath.empty()) {
        if (const auto failure = SaveBatchCsv(run.options.csvPath, result.rows)) {
            status |= EXIT_FILE_ERROR;
            reason = *failure + (reason.empty() ? "" : "; " + reason);
        }
    }
    state.SetExitStatus(status);
    const int code = ExitCodeFor(status, 0);
    if (code != 0) env.err << FailureLine(code, reason, nullptr) << "\n";
    return code;
}

}  // namespace zep8
