#pragma once

// The service report's content: the modules' identity, parameters, inputs and
// differences from a file, gathered over a session. Laid out by
// service_report_page; used by zep8 --report= and the window's report command.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/channels.h"
#include "model/common.h"
#include "model/configuration.h"
#include "model/net_rs485.h"
#include "model/transfer_session.h"
#include "ops/device/difference.h"
#include "platform/event.h"
#include "platform/program_info.h"

namespace zep8 {

class ChannelPolling;
class DeviceIO;
class JobObserver;
struct PortSettings;

// One parameter row of the report: the texts its row in the tree shows.
struct ReportRow {
    std::string title;
    std::string name;
    std::string value;
    std::string attribute;
    std::string error;
};

struct ReportGroup {
    std::string caption;
    std::vector<ReportRow> rows;
};

// The measured value of one input: the poll's latest result, or one read made
// for the report when the input was not polled.
struct InputReading {
    int input = 0;  // 0 ... 7
    std::string label;
    std::string value;
    std::string error;
    std::string time;  // "ЧЧ:ММ:СС"
    bool polled = false;
};
using PolledInputs = std::array<std::optional<InputReading>, kInputCount>;

// What the report says of one module.
struct ModuleSection {
    int address = 0;
    std::string device;   // "dev"
    std::string version;  // "ver"
    // Empty when the module answered; otherwise why nothing more was read.
    std::string failure;
    bool interrupted = false;
    std::vector<ReportGroup> groups;
    int parameters = 0;  // parameters asked
    int failed = 0;      // of them, not read
    // Compared with a configuration: the differences (empty: none found).
    bool compared = false;
    bool networkCompared = false;
    DifferenceList differences;
    std::vector<InputReading> inputs;
};

struct ServiceReport {
    std::string date;  // local time, "ГГГГ-ММ-ДД ЧЧ:ММ:СС"
    ProgramInfo program;
    std::string port;
    std::string portSettings;
    std::string configuration;  // the file compared with; empty when none
    std::vector<ModuleSection> modules;
};

// The report's head: now, this program, the port and its line settings.
ServiceReport NewServiceReport(const PortSettings& port, std::string configurationPath);
// "9600 бит/с, 8 бит данных, четность: отсутствует, стоп-бит: 1, адрес: 8 бит"
std::string PortSettingsText(const PortSettings& port);

// A copy of a configuration's module groups that another thread may read
// while the window goes on editing the original.
std::unique_ptr<Configuration> SnapshotConfiguration(const Common& common, const NetRS485& net,
                                                     const Channels& channels);

// What the poll rows show now, for the inputs that have a result.
PolledInputs LatestPolls(const ChannelPolling& polling);

// Reads one module for the report over the program's link, at the port's
// current address: identification, every group, the inputs' values, and the
// differences from a configuration. Runs on the caller's thread; the link
// lock lets polls and jobs share the line meanwhile.
class ModuleReportReader : public TransferSession {
  public:
    // `abort`: the operator's "Прервать"; `observer` (may be null) sees the counters.
    ModuleReportReader(DeviceIO& io, const Event& abort, JobObserver* observer);

    // `config` null: nothing to compare. The network group is compared only
    // when `compareNetwork`: on a line of several modules each has its own.
    ModuleSection Read(const Configuration* config, bool compareNetwork,
                       const PolledInputs& polled = {});

    int ReadParameter(Parameter& parameter) override;
    int WriteParameter(Parameter&) override { return STATUS_REFUSED; }
    int CompareParameter(Parameter&) override { return STATUS_REFUSED; }
    const Event& AbortEvent() const override { return stop_; }
    void AddToCounter(ProgressCounter counter, int n) override;
    Prompter& GetPrompter() override;

  private:
    static constexpr int STATUS_REFUSED = -1;

    bool Identify(ModuleSection& section);
    void ReadInputs(ModuleSection& section, const PolledInputs& polled);
    void Describe(ModuleSection& section) const;
    void Compare(ModuleSection& section, const Configuration& config, bool network) const;

    DeviceIO& io_;
    const Event& abort_;
    JobObserver* observer_;
    Event stop_{Event::Reset::Manual};
    std::array<int, 4> counters_{};
    int failuresInRow_ = 0;
    Common common_;
    NetRS485 net_;
    Channels channels_;
};

}  // namespace zep8
