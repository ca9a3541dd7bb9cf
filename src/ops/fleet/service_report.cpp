#include "ops/fleet/service_report.h"

#include <cstdio>

#include "link/exchange/device_io.h"
#include "link/remote/remote_line.h"
#include "link/serial/port_names.h"
#include "model/tree_row.h"
#include "ops/device/job_observer.h"
#include "ops/polling/channel_polling.h"
#include "platform/local_time.h"
#include "platform/process_state.h"

namespace zep8 {
namespace {

std::string ClockText(const PollTime& t) {
    char text[24];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned{t.hour}, unsigned{t.minute},
                  unsigned{t.second});
    return text;
}

std::string_view ParityText(int scheme) {
    switch (scheme) {
        case SCHEME_EVEN:
            return "четность";
        case SCHEME_ODD:
            return "нечетность";
        case SCHEME_MARK:
            return "единица";
        case SCHEME_SPACE:
            return "ноль";
        default:
            return "отсутствует";
    }
}

void CopyValues(const ObjectWithParameters& from, ObjectWithParameters& to) {
    const auto& source = from.parameters();
    const auto& target = to.parameters();
    for (std::size_t i = 0; i < source.size() && i < target.size(); ++i) {
        const Parameter& s = *source[i];
        Parameter& t = *target[i];
        if (s.name != t.name) continue;
        t.value = s.value;
        t.attrEditable = s.attrEditable;
        t.attrFactory = s.attrFactory;
        t.hasAttributes = s.hasAttributes;
        t.index = s.index;
    }
}

// The module's groups in the order of the tree: general, network, the
// inputs' common setting, then each input.
std::vector<const InvisibleElement*> GroupsOf(const Common& common, const NetRS485& net,
                                              const Channels& channels) {
    std::vector<const InvisibleElement*> groups{&common, &net, &channels};
    for (int i = 0; i < kInputCount; ++i) groups.push_back(&channels.channel(i));
    return groups;
}

}  // namespace

std::string PortSettingsText(const PortSettings& port) {
    return std::to_string(port.baudRate) + " бит/с, " + std::to_string(port.byteSize) +
           " бит данных, четность: " + std::string(ParityText(port.parityScheme)) +
           ", стоп-бит: " + std::to_string(port.stopBits) +
           ", адрес: " + std::to_string(port.addressLength) + " бит";
}

ServiceReport NewServiceReport(const PortSettings& port, std::string configurationPath) {
    ServiceReport report;
    report.date = FormatLocalTime("%Y-%m-%d %H:%M:%S");
    report.program = CurrentProgramInfo();
    report.port = IsRemotePortName(port.name) ? port.name : PortDevicePath(port.name);
    report.portSettings = PortSettingsText(port);
    report.configuration = std::move(configurationPath);
    return report;
}

std::unique_ptr<Configuration> SnapshotConfiguration(const Common& common, const NetRS485& net,
                                                     const Channels& channels) {
    auto copy = std::make_unique<Configuration>();
    CopyValues(common, copy->common);
    CopyValues(net, copy->net);
    CopyValues(channels, copy->channels);
    for (int i = 0; i < kInputCount; ++i) {
        CopyValues(channels.channel(i), copy->channels.channel(i));
    }
    return copy;
}

PolledInputs LatestPolls(const ChannelPolling& polling) {
    PolledInputs inputs;
    for (int i = 0; i < kInputCount; ++i) {
        const std::optional<LatestPoll> latest = polling.Latest(i);
        if (!latest) continue;
        // A poll started before its group was ever opened has no label yet.
        std::string label =
            latest->label == kNoData ? "Вход №" + std::to_string(i + 1) : latest->label;
        inputs[static_cast<std::size_t>(i)] = InputReading{
            i,   std::move(label), latest->valueText, latest->errorText, ClockText(latest->end),
            true};
    }
    return inputs;
}

ModuleReportReader::ModuleReportReader(DeviceIO& io, const Event& abort, JobObserver* observer)
    : io_(io), abort_(abort), observer_(observer) {
    common_.InitParameters();
    net_.InitParameters();
    channels_.InitParameters();
}

Prompter& ModuleReportReader::GetPrompter() {
    return io_.prompter();
}

void ModuleReportReader::AddToCounter(ProgressCounter counter, int n) {
    const int value = counters_[static_cast<std::size_t>(counter)] += n;
    if (observer_) observer_->CounterChanged(counter, value);
}

int ModuleReportReader::ReadParameter(Parameter& parameter) {
    if (abort_.isSet()) stop_.set();
    if (stop_.isSet()) return STATUS_REFUSED;
    const int status = io_.TransferParameter(DIRECTION_READ, &parameter);
    const bool dead = status != STATUS_OK && (status < 0 || parameter.timedOut);
    failuresInRow_ = dead ? failuresInRow_ + 1 : 0;
    if ((status != STATUS_OK && io_.LineGone()) || failuresInRow_ >= kFailureLimit) stop_.set();
    return status;
}

bool ModuleReportReader::Identify(ModuleSection& section) {
    Parameter dev("dev"), ver("ver");
    if (ReadParameter(dev) != STATUS_OK) {
        section.failure = dev.errorText.empty() ? "нет ответа" : dev.errorText;
        return false;
    }
    section.device = dev.value;
    if (ReadParameter(ver) == STATUS_OK) section.version = ver.value;
    return true;
}

ModuleSection ModuleReportReader::Read(const Configuration* config, bool compareNetwork,
                                       const PolledInputs& polled) {
    ModuleSection section;
    section.address = io_.SessionTarget().address;
    stop_.reset();
    failuresInRow_ = 0;
    common_.ClearValues();
    net_.ClearValues();
    channels_.ResetValues();
    if (Identify(section)) {
        TransferCounts counts = common_.ReadElement(*this);
        counts += net_.ReadElement(*this);
        counts += channels_.ReadElement(*this);
        section.parameters = counts.processed;
        section.failed = counts.failed;
        ReadInputs(section, polled);
        if (config) Compare(section, *config, compareNetwork);
    }
    section.interrupted = abort_.isSet();
    if (section.interrupted && section.failure.empty()) section.failure = "прервано оператором";
    Describe(section);
    return section;
}

void ModuleReportReader::ReadInputs(ModuleSection& section, const PolledInputs& polled) {
    for (int i = 0; i < kInputCount; ++i) {
        if (const auto& latest = polled[static_cast<std::size_t>(i)]) {
            section.inputs.push_back(*latest);
            continue;
        }
        if (stop_.isSet()) break;
        // The measured value lives at the module's base address plus the input number.
        Parameter measured("rEAd");
        measured.addressOffset = i;
        InputReading reading;
        reading.input = i;
        reading.label = channels_.channel(i).caption;
        const int status = ReadParameter(measured);
        reading.time = ClockText(PollTime::Now());
        if (status == STATUS_OK) {
            reading.value = measured.value;
        } else {
            reading.error = measured.errorText;
        }
        section.inputs.push_back(std::move(reading));
    }
}

void ModuleReportReader::Describe(ModuleSection& section) const {
    if (section.device.empty()) return;  // silent: no rows of "Нет данных"
    for (const InvisibleElement* group : GroupsOf(common_, net_, channels_)) {
        ReportGroup out{group->caption, {}};
        for (const auto& p : group->parameters()) {
            const TreeRow row = DescribeParameterRow(*p, *group, false);
            out.rows.push_back(
                {row.text, row.columns[1], row.columns[2], row.columns[3], row.columns[4]});
        }
        section.groups.push_back(std::move(out));
    }
}

void ModuleReportReader::Compare(ModuleSection& section, const Configuration& config,
                                 bool network) const {
    section.compared = true;
    section.networkCompared = network;
    const auto ours = GroupsOf(config.common, config.net, config.channels);
    const auto theirs = GroupsOf(common_, net_, channels_);
    for (std::size_t g = 0; g < ours.size(); ++g) {
        if (!network && g == 1) continue;
        const auto& configured = ours[g]->parameters();
        const auto& read = theirs[g]->parameters();
        for (std::size_t i = 0; i < configured.size() && i < read.size(); ++i) {
            const Parameter& c = *configured[i];
            const Parameter& m = *read[i];
            // Not read: an error of the read, shown in its row, not a difference.
            if (!m.errorText.empty() || m.value == kNoData) continue;
            if (c.value != m.value || c.attrEditable != m.attrEditable ||
                c.attrFactory != m.attrFactory) {
                section.differences.push_back(MakeDifference(theirs[g]->caption, c, m));
            }
        }
    }
}

}  // namespace zep8
