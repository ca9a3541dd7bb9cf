#include "app/report_run.h"

#include "app/exit_code.h"
#include "app/preferences.h"
#include "app/survey_run.h"
#include "app/terminal.h"
#include "link/exchange/device_io.h"
#include "link/line/line_by_name.h"
#include "model/configuration.h"
#include "ops/diagnostics/bus_survey.h"
#include "ops/fleet/service_report_page.h"
#include "platform/process_state.h"

namespace zep8 {
namespace {

// The base addresses the report goes to: the list, the survey's finds, or the
// one address of the port.
std::vector<int> ReportAddresses(const OptionRecord& o, DeviceIO& io, std::ostream& err) {
    if (!o.addressSurvey) {
        if (!o.addresses.empty()) return o.addresses;
        return {io.port().settings.baseAddress};
    }
    // A port that does not open finds nobody: the report says so in its summary.
    std::string failure;
    if (auto found = SurveyedAddresses(io, err, failure)) return *found;
    err << "zep8: поиск нашел приборов: 0\n";
    return {};
}

std::string ModuleLine(const ModuleSection& m) {
    std::string line = "адрес " + std::to_string(m.address) + ": ";
    if (m.device.empty()) return line + "не отвечает (" + m.failure + ")";
    line += m.device + ", версия " + m.version + "; параметров " + std::to_string(m.parameters) +
            ", не прочитано " + std::to_string(m.failed);
    if (m.compared) line += ", отличий " + std::to_string(m.differences.size());
    if (!m.failure.empty()) line += "; " + m.failure;
    return line;
}

// The configuration to compare with, when the command line names one; the
// exit code to end with when it cannot be read.
int LoadComparison(const OptionRecord& o, StreamPrompter& prompter, std::ostream& err,
                   std::unique_ptr<Configuration>& config) {
    if (o.fileArgument.empty()) return kRunGoesOn;
    std::string error;
    const std::optional<std::string> bytes = ReadFileBytes(o.fileArgument, error);
    auto loaded = std::make_unique<Configuration>();
    if (!bytes ||
        LoadConfiguration(loaded->nodes(), *bytes, prompter, nullptr) != LoadStatus::Loaded) {
        const int code = ExitCodeFor(EXIT_FILE_ERROR, 0);
        err << FailureLine(code, bytes ? prompter.lastText() : error, nullptr) << "\n";
        return code;
    }
    config = std::move(loaded);
    return kRunGoesOn;
}

}  // namespace

int RunReport(RunContext& run) {
    const OptionRecord& o = run.options;
    RunEnvironment& env = run.env;
    if (!o.portGiven()) {
        const int code = ExitCodeFor(EXIT_PORT_ERROR, 0);
        env.err << FailureLine(code, kNeedsPortText, nullptr) << "\n";
        return code;
    }
    StreamPrompter prompter(env.err);
    std::unique_ptr<Configuration> config;
    if (const int code = LoadComparison(o, prompter, env.err, config); code != kRunGoesOn)
        return code;

    DeviceIO io(std::make_unique<LineByName>(), prompter);
    Preferences(env.store).LoadProgramSettings(io.programNet());
    ApplyCommandLineLine(o, io.programNet());
    if (!o.address.empty()) io.programNet().SetValue("Addr", o.address, false);
    if (o.converterMode == CONVERTER_OFF) io.port().directionMode = 1;
    run.AttachTrace(io);
    ProcessState& state = processState();
    if (io.ReopenPort(false) != OPEN_OK) {
        const int code = ExitCodeFor(EXIT_PORT_ERROR, 0);
        env.err << FailureLine(code, io.VerdictReason(EXIT_PORT_ERROR), &io.port().settings)
                << "\n";
        return code;
    }

    ServiceReport report = NewServiceReport(io.port().settings, o.fileArgument);
    Event never(Event::Reset::Manual);
    ModuleReportReader reader(io, never, nullptr);
    const std::vector<int> addresses = ReportAddresses(o, io, env.err);
    if (addresses.empty()) state.setExitBits(EXIT_TIMEOUT);  // the survey found none
    for (int address : addresses) {
        io.UseAddress(address);
        ModuleSection section = reader.Read(config.get(), addresses.size() == 1);
        if (section.failed > 0 && !section.device.empty())
            state.setExitBits(EXIT_FAILED_PARAMETERS);
        env.out << ModuleLine(section) << std::endl;
        report.modules.push_back(std::move(section));
    }
    if (const auto error = WriteServiceReport(o.reportPath, report)) {
        const int code = ExitCodeFor(EXIT_FILE_ERROR, 0);
        env.err << FailureLine(code, *error, nullptr) << "\n";
        return code;
    }
    env.err << "zep8: отчёт записан в " << o.reportPath << "\n";
    const int code = ExitCodeFor(state.ExitStatus(), 0);
    if (code != 0) env.err << FailureLine(code, io.LastFailure(), &io.port().settings) << "\n";
    return code;
}

}  // namespace zep8
