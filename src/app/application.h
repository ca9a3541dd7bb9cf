#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/document.h"
#include "app/trace_output.h"
#include "platform/named_exit_event.h"

namespace zep8 {

class SettingsStore;
namespace sim {
class SimulatedLine;
}

struct RunEnvironment {
    std::ostream& out;
    std::ostream& err;
    SettingsStore& store;
    std::string programPath;  // absolute path of the program file
};

// Returned by the steps of a run that do not end it.
inline constexpr int kRunGoesOn = -1;

inline constexpr std::string_view kNeedsPortText =
    "для этого запуска нужен порт: укажите /port:N или --port=ПУТЬ (или --simulate)";
inline constexpr std::string_view kCalibrationNeedsWindowsText =
    "юстировка проводится только в окне программы";

// What a run prepares before its document: the process state from the
// options, the error log, the exit event, and the virtual module of
// --simulate, the TLS settings of remote lines. Stops the module and lets the
// run's connection to a serial device server go when it goes.
class RunContext {
  public:
    RunContext(OptionRecord options, RunEnvironment& env);
    ~RunContext();
    // kRunGoesOn, or the exit code to end with at once.
    int Prepare();
    DocumentSetup MakeDocumentSetup() const;
    // --trace: the exchanges of a link of the run's own (the document's get
    // the trace through its setup) go to standard error.
    void AttachTrace(DeviceIO& io);

    OptionRecord options;
    RunEnvironment& env;
    std::unique_ptr<NamedExitEvent> exitEvent;
    std::unique_ptr<sim::SimulatedLine> simulated;  // --simulate: its modules
    std::unique_ptr<TraceOutput> trace;

  private:
    void ProvideTlsSettings();
};

// The action the command line posts at start; write wins over calibrate,
// calibrate over read.
enum class AutomatedAction { None, WriteAll, Calibrate, ReadAll };
AutomatedAction AutomatedActionOf(const OptionRecord& options);

// --help, --version and --dump: the exit code, or kRunGoesOn for a real run.
int RunInformation(const OptionRecord& options, RunEnvironment& env);
std::string UsageText();

// An automated read, write or link test without any port to use.
bool NeedsPortButHasNone(const OptionRecord& options);

// The interface converter named by "rs485".
void ApplyConverterOption(const OptionRecord& options, Device& device);

// One run of the configurator without windows: the command line's action on
// the module, or --dump, --help, --version. Returns the process exit code.
int RunApplication(const std::vector<std::string>& args, RunEnvironment& env);

}  // namespace zep8
