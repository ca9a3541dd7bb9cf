#include "app/application.h"

#include <filesystem>

#include "app/automated_run.h"
#include "app/batch_run.h"
#include "app/command_line.h"
#include "app/doctor_run.h"
#include "app/document.h"
#include "app/dump.h"
#include "app/exit_code.h"
#include "app/preferences.h"
#include "app/report_run.h"
#include "app/survey_run.h"
#include "app/terminal.h"
#include "app/watchers.h"
#include "link/line/line_by_name.h"
#include "link/remote/remote_line.h"
#include "link/serial/port_list.h"
#include "link/serial/port_names.h"
#include "model/catalogue.h"
#include "platform/file_path.h"
#include "platform/named_exit_event.h"
#include "platform/process_state.h"
#include "platform/program_info.h"
#include "platform/text.h"
#include "sim/simulated_line.h"
#include "sim/test_bench.h"

namespace zep8 {
namespace {

// --help: the options from the parser's own table, then this platform's.
std::string Usage() {
    return "Конфигуратор ЗЕП-8\n"
           "\n"
           "zep8 [ПАРАМЕТРЫ] [ФАЙЛ.zep]\n" +
           OptionHelp() +
           "  --port=ПУТЬ         любой последовательный порт, например " +
           std::string(ExamplePortPath()) + ", или\n"
           "                      сервер линии: rfc2217://СЕРВЕР:ПОРТ, tcp://СЕРВЕР:ПОРТ,\n"
           "                      с шифрованием rfc2217+tls://СЕРВЕР:ПОРТ, tcp+tls://СЕРВЕР:ПОРТ\n"
           "  --tls-ca=ФАЙЛ       сертификат центра, заверившего сервер (вместо системных)\n"
           "  --tls-fingerprint=SHA256  закреплённый отпечаток сертификата сервера\n"
           "  --tls-cert=ФАЙЛ --tls-key=ФАЙЛ  сертификат и ключ клиента для сервера,\n"
           "                      который их требует (всё --tls-* хранится для сервера)\n"
           "  --simulate          работать с виртуальным прибором внутри программы: входы 1-4\n"
           "                      с датчиками, значения медленно меняются (как на стенде)\n"
           "  --simulate=factory  виртуальный прибор с заводскими установками (без датчиков)\n"
           "  --headless          без окон, даже когда есть дисплей\n"
           "  --doctor            диагностика связи: порт --port=ПУТЬ или порт настроек\n"
           "  --trace             каждый обмен с прибором на stderr: время, кадр, разбор, ответ\n"
           "  --survey [--all-speeds]  поиск приборов на линии (на всех скоростях)\n"
           "  --csv=ФАЙЛ          список найденных (--survey) или итог записи (--addresses=)\n"
           "                      в таблицу CSV\n"
           "  --addresses=40,48,56  /write для нескольких приборов по очереди (адреса через\n"
           "                      запятую; survey - все найденные поиском); не вместе с /addr:\n"
           "  --dump ФАЙЛ.zep     показать конфигурацию таблицей\n"
           "  --report=ФАЙЛ.html [ФАЙЛ.zep]  отчёт о приборе (с портом или --simulate):\n"
           "                      параметры, значения входов, отличия от ФАЙЛ.zep\n"
           "  --help, --version\n"
           "\n"
           "Код завершения: 0 - без ошибок; 2 - неизвестный параметр командной строки;\n"
           "200 - нет файла или он испорчен; 201 - порт не открывается или не указан;\n"
           "202 - прибор не отвечает; 203 - ошибки на линии (ответы не разобрать);\n"
           "204 - задание закончилось с ошибками параметров (см. /elog); 205 - прервано;\n"
           "206 - ответил не ЗЕП8.\n";
}

// The virtual module speaks what the program will use in this run.
sim::LineSettings LineOfTheRun(const OptionRecord& o, SettingsStore& store) {
    NetRS485prg program;
    Preferences(store).LoadProgramSettings(program);
    sim::LineSettings line;
    line.baud = o.baudRate ? static_cast<int>(o.baudRate) : std::stoi(program.GetValue("bPS"));
    line.address =
        !o.address.empty() ? std::atoi(o.address.c_str()) : std::stoi(program.GetValue("Addr"));
    line.addressBits = o.addressLength ? o.addressLength : std::stoi(program.GetValue("A.Len"));
    line.dataBits = o.dataBits ? o.dataBits : std::stoi(program.GetValue("LEn"));
    line.stopBits =
        !o.stopBits.empty() ? std::atoi(o.stopBits.c_str()) : std::stoi(program.GetValue("Sbit"));
    const std::string parity = program.GetValue("PrtY");
    const int code = o.parity ? o.parity : parity == kParityEven ? 1 : parity == kParityOdd ? 2 : 3;
    line.parity = code == 1 ? sim::Parity::Even : code == 2 ? sim::Parity::Odd : sim::Parity::None;
    return line;
}

// Why a run failed, in the words of the failure its exit code names: the
// reason the link recorded with that verdict (the port's own, a time-out,
// garbage on the line), the file's trouble, or the last parameter refused.
std::string FailureReason(std::uint32_t status, Device& device, const StreamPrompter& prompter,
                          const OptionRecord& options) {
    const int code = ExitCodeFor(status, 0);
    for (std::uint32_t verdict : {EXIT_PORT_ERROR, EXIT_TIMEOUT, EXIT_GARBAGE}) {
        if (code != ExitCodeFor(verdict, 0)) continue;
        if (std::string reason = device.VerdictReason(verdict); !reason.empty()) return reason;
        if (verdict == EXIT_PORT_ERROR) return device.port().OpenFailureReason();
        return {};
    }
    if (code == ExitCodeFor(EXIT_FILE_ERROR, 0)) {
        if (std::string told = prompter.lastText(); !told.empty()) return told;
        std::error_code error;
        if (!options.fileArgument.empty() &&
            !std::filesystem::exists(FilePath(options.fileArgument), error)) {
            return "файла " + options.fileArgument + " нет";
        }
        return {};
    }
    if (code == ExitCodeFor(EXIT_FAILED_PARAMETERS, 0)) {
        if (std::string failure = device.LastFailure(); !failure.empty()) return failure;
        return prompter.lastText();
    }
    return {};
}

// The terminal runs the action on the document at once; it has no calibration wizard.
class TerminalTarget : public AutomationTarget {
  public:
    TerminalTarget(Document& document, std::string& reason)
        : document_(document), reason_(reason) {}
    void WriteAll() override { document_.WriteAll(); }
    void ReadAll() override { document_.ReadAll(); }
    bool CanCalibrate() const override { return false; }
    void Calibrate(std::function<void()>) override { reason_ = kCalibrationNeedsWindowsText; }

  private:
    Document& document_;
    std::string& reason_;
};

}  // namespace

std::string UsageText() {
    return Usage();
}

int RunInformation(const OptionRecord& options, RunEnvironment& env) {
    if (const std::string refusal = RefusalText(options); !refusal.empty()) {
        env.err << refusal << "\n";
        return kUsageErrorCode;
    }
    if (options.help) {
        env.out << Usage();
        return 0;
    }
    if (options.version) {
        env.out << "zep8 " << CurrentProgramInfo().version << "\n";
        return 0;
    }
    if (!options.dump.empty()) return DumpConfiguration(options.dump, env.out, env.err);
    return kRunGoesOn;
}

bool NeedsPortButHasNone(const OptionRecord& options) {
    const ProcessState& state = processState();
    return state.hasOption(OPT_NO_DEVICE) && !state.hasOption(OPT_NETPARAM_EDIT) &&
           (options.hasAction(ACTION_READ_ALL | ACTION_WRITE_ALL) || state.hasOption(OPT_TEST_RUN));
}

RunContext::RunContext(OptionRecord parsed, RunEnvironment& environment)
    : options(std::move(parsed)), env(environment) {}

RunContext::~RunContext() {
    SetPortListProvider(nullptr);  // it reads this run's settings store
    SetTlsSettingsProvider(nullptr);
    // The run's connection to a serial device server ends with the run.
    RemoteConnections::ReleaseAll();
    if (simulated) simulated->stop();
}

void RunContext::AttachTrace(DeviceIO& io) {
    if (trace) io.AddTap(trace.get());
}

int RunContext::Prepare() {
    ProcessState& state = processState();
    state.optionFlags = options.optionFlags;
    state.actionFlags = options.actionFlags;
    if (!options.errorLogPath.empty()) CreateErrorLog(options.errorLogPath);
    exitEvent = NamedExitEvent::Open(options.exitEventName);
    if (options.trace) trace = std::make_unique<TraceOutput>(env.err);
    SetPortListProvider(
        [&store = env.store] { return Preferences(store).PortChoice(EnumeratePorts()); });
    ProvideTlsSettings();

    if (options.simulate) {
        // With an address list, one module at each address on the one line.
        std::vector<int> addresses = options.addresses;
        const sim::LineSettings line = LineOfTheRun(options, env.store);
        if (addresses.empty()) addresses.push_back(line.address);
        simulated = std::make_unique<sim::SimulatedLine>(line, addresses);
        // A first look should show the program at work, not a module with no sensors.
        for (int i = 0; i < simulated->size() && !options.simulateFactory; ++i)
            sim::SetUpTestBench(simulated->module(i));
        std::string error;
        if (!simulated->start(error)) {
            env.err << "Виртуальный прибор не запущен: " << error << "\n";
            return ExitCodeFor(EXIT_PORT_ERROR, 0);
        }
        options.portPath = simulated->portPath();
        if (state.hasOption(OPT_NO_DEVICE) && !state.hasOption(OPT_NETPARAM_EDIT)) {
            state.optionFlags = state.optionFlags & ~OPT_NO_DEVICE;  // it has a module now
        }
    }
    return kRunGoesOn;
}

// The TLS options of the command line are kept for the port's server and serve
// it in this run; every other server is trusted as its settings say.
void RunContext::ProvideTlsSettings() {
    std::string given;
    if (const auto remote = ParseRemotePortName(options.portPath);
        remote && options.tlsGiven()) {
        given = FoldCase(remote->Server());
        Preferences(env.store).StoreTlsSettings(given, options.tls);
        const std::string key = options.tls.keyFile.empty() ? options.tls.certFile : options.tls.keyFile;
        if (const std::string exposed = KeyFileExposure(key); !key.empty() && !exposed.empty())
            env.err << "zep8: предупреждение: " << exposed << "\n";
    }
    SetTlsSettingsProvider([&store = env.store, given, tls = options.tls](const std::string& server) {
        if (!given.empty() && FoldCase(server) == given) return tls;
        return Preferences(store).tlsSettings(server);
    });
}

DocumentSetup RunContext::MakeDocumentSetup() const {
    DocumentSetup setup;
    setup.options = options;
    setup.password = Preferences(env.store).OperatorPassword();
    setup.programPath = env.programPath;
    setup.trace = trace.get();
    return setup;
}

void ApplyConverterOption(const OptionRecord& options, Device& device) {
    if (options.converterMode == CONVERTER_OFF) device.port().directionMode = 1;
    if (options.converterMode == CONVERTER_AUTO || options.converterMode == CONVERTER_ON) {
        device.port().directionMode = 0;
    }
}

namespace {

// The report, the doctor, the survey and a write to several modules: runs of
// their own, without the document of one module. kRunGoesOn for the others.
int RunTool(RunContext& run) {
    const OptionRecord& options = run.options;
    if (options.report) {
        if (const int code = run.Prepare(); code != kRunGoesOn) return code;
        return RunReport(run);
    }
    if (options.doctor) {
        if (const int code = run.Prepare(); code != kRunGoesOn) return code;
        return RunDoctor(run.options, run.env);
    }
    if (options.survey) {
        if (const int code = run.Prepare(); code != kRunGoesOn) return code;
        return RunSurvey(run);
    }
    if (options.manyModules() && options.hasAction(ACTION_WRITE_ALL)) return RunBatchWrite(run);
    return kRunGoesOn;
}

// The command line's action on the one module of the document, in the terminal.
int RunAutomatedJob(RunContext& run) {
    const OptionRecord& options = run.options;
    RunEnvironment& env = run.env;
    ProcessState& state = processState();
    // Nothing to read from or write to: a caller must not take that for success.
    if (NeedsPortButHasNone(options)) {
        const int code = ExitCodeFor(EXIT_PORT_ERROR, 0);
        env.err << FailureLine(code, kNeedsPortText, nullptr) << "\n";
        return code;
    }

    StreamPrompter prompter(env.err);
    StreamJobObserver observer(env.err);
    DocumentUi ui;
    Event stop(Event::Reset::Manual);
    Event done(Event::Reset::Manual, true);
    std::string reason;
    PortSettings port;
    {
        Document document(std::make_unique<LineByName>(), env.store, prompter, ui,
                          run.MakeDocumentSetup());
        Device& device = document.device();
        device.SetObserver(&observer);
        device.SetDoneEvent(&done);
        // The hold lets an operator read the final counters; a terminal keeps them.
        device.SetFinishHold(std::chrono::milliseconds(0));

        if (document.Start()) {
            ApplyConverterOption(options, device);
            ExitWatcher exitWatcher(
                stop, run.exitEvent.get(), [&device] { device.StopAll(); }, [] {});
            {
                TerminalTarget target(document, reason);
                AutomatedRun automated(options, stop, done, target, [] {});
                // Without windows there is nothing to stay open for.
                done.set();
            }
            stop.set();
        }
        port = device.port().settings;
        if (reason.empty()) reason = FailureReason(state.ExitStatus(), device, prompter, options);
    }
    const int code = ExitCodeFor(state.ExitStatus(), 0);
    if (code != 0) env.err << FailureLine(code, reason, &port) << "\n";
    return code;
}

}  // namespace

int RunApplication(const std::vector<std::string>& args, RunEnvironment& env) {
    RunContext run(ParseCommandLine(args), env);
    const OptionRecord& options = run.options;
    if (const int code = RunInformation(options, env); code != kRunGoesOn) return code;
    if (const int code = RunTool(run); code != kRunGoesOn) return code;
    if (!options.automation()) {
        env.err << "Без окон конфигуратор работает только по командной строке: укажите действие "
                   "(/read, /write, /test).\n\n"
                << Usage();
        return 0;
    }
    if (const int code = run.Prepare(); code != kRunGoesOn) return code;
    return RunAutomatedJob(run);
}

AutomatedAction AutomatedActionOf(const OptionRecord& options) {
    if (options.hasAction(ACTION_WRITE_ALL)) return AutomatedAction::WriteAll;
    if (options.hasAction(ACTION_CALIBRATE)) return AutomatedAction::Calibrate;
    if (options.hasAction(ACTION_READ_ALL)) return AutomatedAction::ReadAll;
    return AutomatedAction::None;
}

}  // namespace zep8
