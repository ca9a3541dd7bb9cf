#include "ops/device/device.h"

#include <cstdlib>
#include <fstream>

#include "link/line/run_stop.h"
#include "model/parameter.h"
#include "platform/file_path.h"
#include "platform/password_hash.h"
#include "platform/process_state.h"
#include "platform/prompter.h"
#include "platform/text.h"

namespace zep8 {
namespace {

constexpr std::size_t kReportedDifferences = 10;

int CounterIndex(ProgressCounter counter) {
    return static_cast<int>(counter);
}

std::string_view OwnerText(bool factory) {
    return factory ? "заводу" : "пользователю";
}

}  // namespace

// The number starts at the first digit or point and is read like "%i":
// decimal, "0x" hexadecimal or leading-0 octal.
int MajorVersion(std::string_view version) {
    const std::size_t start = version.find_first_of("1234567890.");
    const std::string number(start == std::string_view::npos ? version : version.substr(start));
    char* end = nullptr;
    const long major = std::strtol(number.c_str(), &end, 0);
    return end == number.c_str() ? 0 : static_cast<int>(major);
}

namespace {}  // namespace

std::string_view JobCaption(Job job) {
    switch (job) {
        case Job::ReadAll:
            return "Идет чтение параметров из прибора";
        case Job::WriteAll:
            return "Идет запись параметров в прибор";
        case Job::WriteChanged:
            return "Идет запись измененных значений параметров в прибор";
        case Job::Compare:
            return "Идет сравнение параметров в конфигурации и в приборе";
        case Job::ReadOne:
            return "Идет чтение параметра из прибора";
        case Job::WriteOne:
            return "Идет запись параметра в прибор";
        case Job::CompareBeforeWrite:
            return "Идет чтение параметров, которые будут перезаписаны в приборе";
    }
    return {};
}

Device::Device(std::unique_ptr<LinePort> port, Prompter& prompter)
    : DeviceIO(std::move(port), prompter) {
    try {
        thread_ = std::thread(&Device::TransmitThread, this);
    } catch (const std::system_error&) {
        prompter.notify(
            "Не могу запустить поток (TransmitThread), необходимый для коммуникации "
            "с прибором",
            "Error", Icon::None);
    }
}

Device::~Device() {
    if (pollStopper_) pollStopper_();
    port().stopEvent.set();
    if (thread_.joinable()) thread_.join();
}

void Device::SetErrorLogPath(std::string path) {
    std::lock_guard lock(errorLogMutex_);
    errorLogPath_ = std::move(path);
}

bool Device::RunJob(Job job) {
    if (!observer_ || !thread_.joinable()) return false;
    // A stop left from before belongs to no job of the display.
    NewJobStop();
    jobRunning_ = true;
    {
        std::lock_guard lock(jobTargetMutex_);
        jobTarget_ = SessionTarget();
    }
    for (auto& counter : counters_) counter = 0;
    observer_->JobStarted(job, JobCaption(job));
    switch (job) {
        case Job::ReadAll:
            bulkEvents_[0].set();
            break;
        case Job::WriteAll:
            bulkEvents_[1].set();
            break;
        case Job::WriteChanged:
            bulkEvents_[2].set();
            break;
        case Job::Compare:
        case Job::CompareBeforeWrite:
            bulkEvents_[3].set();
            break;
        case Job::ReadOne:
            readOneEvent_.set();
            break;
        case Job::WriteOne:
            writeOneEvent_.set();
            break;
    }
    observer_->WaitForJob();
    changes.Notify(ChangeNotice::AllValues());
    return true;
}

bool Device::ReadAll() {
    return RunJob(Job::ReadAll);
}
bool Device::WriteAll() {
    return RunJob(Job::WriteAll);
}
bool Device::WriteChanged() {
    return RunJob(Job::WriteChanged);
}

bool Device::ReadOne(Parameter& parameter) {
    singleParameter_ = &parameter;
    return RunJob(Job::ReadOne);
}

bool Device::WriteOne(Parameter& parameter) {
    singleParameter_ = &parameter;
    return RunJob(Job::WriteOne);
}

bool Device::Compare(const DifferenceViewer& details) {
    differenceCount_ = 0;
    differenceReport_.clear();
    {
        std::lock_guard lock(differencesMutex_);
        differences_.clear();
    }
    if (!RunJob(Job::Compare)) return false;
    std::string text = "Отличий не обнаружено";
    if (differenceCount_ > 0) {
        text = "Обнаружены отличия (" + std::to_string(differenceCount_) + ")";
        if (differenceCount_ > static_cast<int>(kReportedDifferences)) {
            text += " (показанны только первые 10)";
        }
        text += ":\n" + differenceReport_;
    }
    if (differenceCount_ > 0 && details) {
        const DifferenceList list = differences();
        prompter().notifyWithDetails(text, "Результат сравнения", Icon::Information,
                                     [&] { details(list); });
    } else {
        prompter().notify(text, "Результат сравнения", Icon::Information);
    }
    return true;
}

std::optional<DifferenceList> Device::CompareBeforeWrite(bool all) {
    {
        std::lock_guard lock(differencesMutex_);
        differences_.clear();
    }
    compareScope_ = all ? CompareScope::WriteAll : CompareScope::WriteChanged;
    jobAborted_ = false;
    const bool ran = RunJob(Job::CompareBeforeWrite);
    compareScope_ = CompareScope::Everything;
    if (!ran || jobAborted_) return std::nullopt;
    return differences();
}

DifferenceList Device::differences() const {
    std::lock_guard lock(differencesMutex_);
    return differences_;
}

void Device::AddDifference(Difference difference) {
    std::lock_guard lock(differencesMutex_);
    differences_.push_back(std::move(difference));
}

std::string Device::GroupOf(const Parameter& parameter) const {
    return GroupCaption(parameter, channelsNode, {&commonNode, &netNode});
}

void Device::Abort() {
    // The verdict first: whatever the stop cuts short finds the run stopped.
    processState().SetExitStatus(EXIT_INTERRUPTED);
    abortEvent.set();
}

Event& Device::NewJobStop() {
    abortEvent.reset();
    // StopAll sets stopAll_ before the job's stop: one of the two is seen.
    if (stopAll_.isSet()) abortEvent.set();
    return abortEvent;
}

void Device::StopAll() {
    stopAll_.set();
    abortEvent.set();
}

void Device::AddToCounter(ProgressCounter counter, int n) {
    const int value = counters_[CounterIndex(counter)] += n;
    if (observer_) observer_->CounterChanged(counter, value);
}

void Device::TransmitThread() {
    for (;;) {
        const int woke =
            Event::waitAny({&bulkEvents_[0], &bulkEvents_[1], &bulkEvents_[2], &bulkEvents_[3],
                            &port().stopEvent, &readOneEvent_, &writeOneEvent_},
                           Event::kInfinite);
        if (woke == 4) {
            port().stopEvent.reset();
            return;
        }
        // A silent run keeps the port closed between jobs.
        openedByJob_ = OpenPortIfClosed();
        switch (woke) {
            case 0:
                RunBulk(Job::ReadAll);
                break;
            case 1:
                RunBulk(Job::WriteAll);
                break;
            case 2:
                RunBulk(Job::WriteChanged);
                break;
            case 3:
                RunBulk(Job::Compare);
                break;
            case 5:
                RunSingle(Job::ReadOne);
                break;
            case 6:
                RunSingle(Job::WriteOne);
                break;
            default:
                break;
        }
    }
}

bool Device::NetworkDiffersFromProgram() {
    for (const auto& own : programNet().parameters()) {
        // "Port" and "Echo" are the program's alone.
        const Parameter* module = netNode.FindParameter(own->name);
        if (!module) continue;
        const std::string& value = module->value;
        if (!EqualsIgnoreCase(value, kNoData) && value != own->value) return true;
    }
    return false;
}

void Device::RunBulk(Job job) {
    switch (job) {
        case Job::ReadAll:
            bulkEvents_[0].reset();
            commonNode.ReadElement(*this);
            netNode.ReadElement(*this);
            channelsNode.ReadElement(*this);
            break;
        case Job::WriteAll:
        case Job::WriteChanged: {
            const bool all = job == Job::WriteAll;
            bulkEvents_[all ? 1 : 2].reset();
            // A write that leaves the network group alone changes no network setting.
            processState().networkChanged = netWriteEnabled && NetworkDiffersFromProgram();
            commonNode.WriteElement(*this, all);
            if (netWriteEnabled) netNode.WriteElement(*this, all);
            channelsNode.WriteElement(*this, all);
            break;
        }
        case Job::Compare: {
            bulkEvents_[3].reset();
            const CompareScope scope = compareScope_;
            commonNode.CompareElement(*this);
            // Before a write, only the groups that the write goes to.
            if (scope == CompareScope::Everything || netWriteEnabled) netNode.CompareElement(*this);
            channelsNode.CompareElement(*this);
            jobAborted_ = abortEvent.isSet();
            // A compare of everything holds its counters on display like any
            // job; before a write the question follows at once, without the hold.
            FinishJob(scope == CompareScope::Everything);
            return;
        }
        default:
            break;
    }
    FinishJob();
}

void Device::RunSingle(Job job) {
    if (Parameter* p = singleParameter_.load()) {
        if (job == Job::WriteOne) processState().networkChanged = netNode.GetChangeState(p) != 0;
        AddToCounter(ProgressCounter::Parameters, 1);
        const int status = job == Job::ReadOne ? ReadParameter(*p) : WriteParameter(*p);
        if (status != 0) AddToCounter(ProgressCounter::ParametersWithErrors, 1);
    }
    singleParameter_ = nullptr;
    FinishJob();
}

void Device::FinishJob(bool hold) {
    // The final counters stay on display for a moment, unless the job was cut short.
    if (hold) abortEvent.wait(finishHold_);
    NewJobStop();
    {
        std::lock_guard lock(jobTargetMutex_);
        jobTarget_.reset();
    }
    // The display closes before the window hears of new network settings, and
    // the caller goes on once the window has handled them (and an automated
    // run's save), so that it finds the file saved and the settings applied.
    if (observer_) observer_->DisplayEnded();
    ProcessState& state = processState();
    if (state.networkChanged && !port().stopEvent.isSet() && host_) host_->NetworkSettingsChanged();
    // A read cut short by a lost port, or stopped by the operator or the
    // calling program, would replace the file with a partial configuration;
    // the calling program learns of it from the exit code.
    const bool stopped = (state.ExitStatus() & EXIT_INTERRUPTED) != 0;
    if (state.automation() && (state.actionFlags.load() & ACTION_READ_ALL) && host_ &&
        !LineGone() && !stopped) {
        host_->SaveAfterRead();
    }
    // Once the job has ended, the caller owns the port and the done event again.
    if (openedByJob_) ClosePort();
    openedByJob_ = false;
    if (state.automation() && doneEvent_) doneEvent_->set();
    // The display hears last: once it knows, nothing of the job needs the window.
    jobRunning_ = false;
    if (observer_) observer_->JobFinished();
}

void Device::LogError(const Parameter& p) {
    std::lock_guard lock(errorLogMutex_);
    if (errorLogPath_.empty() || p.errorText.empty()) return;
    std::ofstream log(FilePath(errorLogPath_), std::ios::app);
    if (!log) return;  // an error log that cannot be opened is skipped
    log << p.name;
    if (p.indexed) log << ":" << p.index;
    log << " - " << p.errorText << "\n";
}

ExchangeRun Device::JobRun() {
    std::lock_guard lock(jobTargetMutex_);
    return ExchangeRun{jobTarget_, &abortEvent};
}

bool Device::OnTransferThread() const {
    return std::this_thread::get_id() == thread_.get_id();
}

void Device::NoteExchange(Parameter& p, int status, const char* message, Event& stop) {
    ProcessState& state = processState();
    // Cut short by the run's stop: the parameter was not refused, and the
    // stop itself decides how the run ends.
    if (status != 0 && stop.isSet()) return;
    if (status != 0) {
        LogError(p);
        // A calling program must be able to tell a job with failed parameters
        // from a clean one; a dead or garbled line still decides by its lower
        // bit. A value that was never read is skipped, not refused. A run
        // already stopped (the exit watcher gives its verdict before it sets
        // the abort event) stays interrupted (205).
        if (state.automation() && status != DEVICE_NO_DATA) {
            state.UpdateExitStatus([](std::uint32_t now) {
                return (now & EXIT_INTERRUPTED) ? now : now | EXIT_FAILED_PARAMETERS;
            });
        }
    }
    // A port that has gone stops the job at once: the next parameter would
    // only find it gone again.
    if (status != 0 && LineGone()) {
        if (!state.automation() && !stop.isSet()) {
            prompter().notify(p.errorText, "Ошибка связи", Icon::Error);
        }
        stop.set();
        state.failureCounter = 0;
        return;
    }
    const bool counts = status < 0 || p.timedOut;
    if (!counts) {
        state.failureCounter = 0;
        return;
    }
    if (++state.failureCounter >= kFailureLimit) {
        if (!state.automation()) prompter().notify(message, kProgramTitle, Icon::Information);
        stop.set();
        state.failureCounter = 0;
    }
}

int Device::ReadParameter(Parameter& p) {
    if (OnTransferThread()) return ReadParameter(p, JobRun());
    // A read of its own (a calibration's, a dialog's): what stops it stops nothing else.
    Event own(Event::Reset::Manual);
    return ReadParameter(p, ExchangeRun{std::nullopt, &own});
}

int Device::WriteParameter(Parameter& p) {
    if (OnTransferThread()) return WriteParameter(p, JobRun());
    Event own(Event::Reset::Manual);
    return WriteParameter(p, ExchangeRun{std::nullopt, &own});
}

int Device::ReadParameter(Parameter& p, const ExchangeRun& run) {
    if (run.stop->isSet() || stopAll_.isSet()) return DEVICE_ABORTED;
    const RunStop stop(run.stop);
    if (p.index < 0) return DEVICE_NEGATIVE_INDEX;
    const int status = TransferParameter(DIRECTION_READ, &p, nullptr, run.to());
    NoteExchange(p, status,
                 "Так как прошло 5 безуспешных попыток чтения,\nто операции обмена будут "
                 "прекращены.",
                 *run.stop);
    return status;
}

int Device::WriteParameter(Parameter& p, const ExchangeRun& run) {
    // After the calling program's exit event nothing more goes to the module.
    if (stopAll_.isSet()) return DEVICE_ABORTED;
    if (p.index < 0) return DEVICE_NEGATIVE_INDEX;
    const RunStop stop(run.stop);
    int status;
    if (p.value == kNoData) {
        p.errorText = "Значение не записанно, так как параметер не инициализирован";
        p.timedOut = false;
        status = DEVICE_NO_DATA;
    } else {
        status = TransferParameter(DIRECTION_WRITE, &p, nullptr, run.to());
    }
    NoteExchange(p, status,
                 "Так как прошло 5 безуспешных попыток записи,\nто операции обмена будут "
                 "прекращены.",
                 *run.stop);
    return status;
}

int Device::ReadModuleCopy(const Parameter& p, Parameter& module, const LinkTarget* target) {
    module = Parameter(p.name);
    module.index = p.index;
    module.addressOffset = p.addressOffset;
    return TransferParameter(DIRECTION_READ, &module, nullptr, target);
}

int Device::CompareParameter(Parameter& p) {
    if (abortEvent.isSet()) return DEVICE_ABORTED;
    if (p.index < 0) return DEVICE_NEGATIVE_INDEX;
    Parameter module(p.name);
    const int status = ReadModuleCopy(p, module, JobRun().to());
    const bool beforeWrite = compareScope_ != CompareScope::Everything;
    // A parameter that could not be read is an error of the job, not a difference.
    // Before a write the configuration is left alone, and the operator is shown
    // what the write would go over unseen.
    if (status != 0) {
        if (beforeWrite) {
            AddDifference(UnreadDifference(GroupOf(p), p, module.errorText));
        } else {
            p.errorText = module.errorText;
        }
        return status;
    }
    const bool differs = p.value != module.value || p.attrFactory != module.attrFactory ||
                         p.attrEditable != module.attrEditable;
    if (!differs) return status;
    AddDifference(MakeDifference(GroupOf(p), p, module));
    if (beforeWrite) return status;
    if (++differenceCount_ <= static_cast<int>(kReportedDifferences)) {
        differenceReport_ += "\n" + std::to_string(differenceCount_) + ") Параметер '" + p.name +
                             " (" + p.title + ") в конфигурации: значение=" + p.value + "," +
                             std::string(EditableText(p.attrEditable)) + ",принадлежит " +
                             std::string(OwnerText(p.attrFactory)) +
                             "; в приборе: значение=" + module.value + "," +
                             std::string(EditableText(module.attrEditable)) + ",принадлежит " +
                             std::string(OwnerText(module.attrFactory)) + ".\n";
    }
    return status;
}

bool Device::ComparesParameter(const Parameter& p) {
    // The same choice as the write walk and WriteParameter make.
    switch (compareScope_.load()) {
        case CompareScope::Everything:
            return true;
        case CompareScope::WriteAll:
            return p.writable && p.value != kNoData;
        case CompareScope::WriteChanged:
            return p.writable && p.IsPending() && p.value != kNoData;
    }
    return true;
}

int Device::Identify(bool showMessages, Identity* identity, const LinkTarget* target) {
    Parameter dev("dev"), ver("ver");
    std::string errors, info;
    int flags = 0;
    if (TransferParameter(DIRECTION_READ, &dev, nullptr, target) != 0) {
        errors = "Ошибка команды 'dev':\n" + dev.errorText + "\n";
    } else {
        info = "Прибор: " + dev.value + "\n";
        flags |= IDENTIFY_ANSWERED;
        std::string name = dev.value;
        std::erase(name, '-');
        if (EqualsIgnoreCase(name, "zep8") || EqualsIgnoreCase(name, "зеп8"))
            flags |= IDENTIFY_ZEP8;
        if (TransferParameter(DIRECTION_READ, &ver, nullptr, target) != 0) {
            errors += "Ошибка команды 'ver':\n" + ver.errorText + "\n";
        } else {
            info += "Версия ПО: " + ver.value + "\n";
            if (MajorVersion(ver.value) == 7) flags |= IDENTIFY_VERSION_7;
        }
    }
    if (identity && (flags & IDENTIFY_ANSWERED)) {
        identity->device = dev.value;
        identity->version = ver.errorText.empty() ? ver.value : std::string();
    }
    if (showMessages) {
        if (!errors.empty()) prompter().notify(errors, "Ошибка", Icon::Error);
        if (!info.empty()) prompter().notify(info, "Общие параметры прибора", Icon::Information);
    }
    return flags;
}

bool Device::EstablishLink(const Event* stop) {
    // The search switches converters and protocols: no poll may go out meanwhile.
    PollPause pause(polls());
    ProcessState& state = processState();
    // Looked at between two tries (each bounded by the link's time-outs):
    // whoever stops the search waits at most for the try under way.
    const auto stopped = [&] { return stopAll_.isSet() || (stop && stop->isSet()); };
    port().directionMode = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (stopped()) return false;
        port().directionMode = port().directionMode.load() == 0 ? 1 : 0;
        state.ProtocolMode = PROTOCOL_OWN;
        ReopenPort(true);
        if (stopped()) return false;
        const int flags = Identify(false);
        if (flags & IDENTIFY_ZEP8) {
            if (flags & IDENTIFY_VERSION_7) state.clearExitBits(EXIT_GARBAGE | EXIT_NOT_ZEP8);
            return true;
        }
        if (flags & IDENTIFY_ANSWERED) state.SetExitStatus(EXIT_NOT_ZEP8);
    }
    port().directionMode = 1;
    for (int mode : {PROTOCOL_MODBUS_RTU, PROTOCOL_MODBUS_ASCII, PROTOCOL_DCON}) {
        if (stopped()) break;
        state.ProtocolMode = mode;
        ReopenPort(false);
        if (TransferParameter(DIRECTION_READ, nullptr) == 0) {
            state.ProtocolMode = PROTOCOL_OWN;
            ReopenPort(true);
            state.clearExitBits(EXIT_TIMEOUT | EXIT_NOT_ZEP8);
            return true;
        }
    }
    port().directionMode = 0;
    state.ProtocolMode = PROTOCOL_OWN;
    if (!stopped()) ReopenPort(true);
    return false;
}

bool Device::CheckPassword() {
    if (unlocked_) return true;
    const std::optional<std::string> entered = prompter().enterText(
        "Подтвердите Ваше право:\na) восстанавливать заводские установки прибора;\nb) изменять "
        "атрибут редактирования.",
        "Введите пароль", true);
    if (!entered) return false;  // cancelled: the session stays locked, nothing to say
    if (!PasswordMatches(*entered, password_)) {
        prompter().notify("Пароль не верен!", "Нет доступа", Icon::Error);
        return false;
    }
    unlocked_ = true;
    prompter().notify(
        "Разрешено восстановление заводских установок прибора и изменение атрибутов "
        "редактирования.",
        "Изменение разрешено", Icon::Information);
    return true;
}

void Device::Rebuild() {
    NewEpoch();
    netNode.InitParameters();
    commonNode.InitParameters();
    channelsNode.InitParameters();
    ReopenPort(true);
    changes.Notify(ChangeNotice::Of(ChangeNotice::Kind::Rebuilt));
}

}  // namespace zep8
