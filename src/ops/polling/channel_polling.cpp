#include "ops/polling/channel_polling.h"


#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "model/channels.h"
#include "model/number_text.h"
#include "model/value_type.h"
#include "ops/fleet/csv_table.h"
#include "ops/device/device.h"
#include "platform/local_time.h"
#include "platform/prompter.h"
#include "platform/file_path.h"
#include "platform/text.h"
#include "platform/user_folders.h"
#include "platform/whole_file.h"

namespace zep8 {
namespace {

constexpr double kMinimumPeriodMs = 100;
// Far beyond any sensible period, and still within what the timer takes.
constexpr double kMaximumPeriodMs = 1e12;
constexpr int kPollRowImage = 17;
constexpr int kLoggingRowImage = 42;
constexpr int kCaptionRowImage = 43;
// The label column of a log line is this many characters wide.
constexpr std::size_t kLabelWidth = 12;

std::string PaddedRight(std::string text, std::size_t width) {
    const std::size_t length = Utf8Length(text);
    if (length < width) text.append(width - length, ' ');
    return text;
}

}  // namespace

std::string PollCsvLine(const PollResult& r, std::string_view label) {
    char time[64];
    std::snprintf(time, sizeof time, "%04i-%02i-%02iT%02i:%02i:%02i.%03i", r.start.year,
                  r.start.month, r.start.day, r.start.hour, r.start.minute, r.start.second,
                  r.start.milliseconds);
    return std::string(time) + ";" + std::to_string(r.inputIndex + 1) + ";" + CsvField(label) +
           ";" + CsvField(r.valueText) + ";" + CsvField(r.errorText);
}

std::string PollLogFolder() {
    return UserDataFolder();
}

bool IsCsvLogName(std::string_view name) {
    constexpr std::string_view kCsv = ".csv";
    return name.size() > kCsv.size() &&
           EqualsIgnoreCase(name.substr(name.size() - kCsv.size()), kCsv);
}

std::string PollLogPath(std::string_view baseName) {
    std::string name(baseName);
    if (!IsCsvLogName(name)) name += ".log";
    // A name from the root on (/var/log/x, C:\logs\x) is the operator's own place.
    if (FilePath(name).has_root_directory()) return name;
    return PollLogFolder() + "/" + name;
}

std::string PollLogLine(const PollResult& r, std::string_view label) {
    char head[160];
    std::snprintf(head, sizeof head,
                  "%2i.%02i.%04i %02i:%02i:%02i.%03i - %02i.%03i Опрашивается канал под номером "
                  "%1i (",
                  r.start.day, r.start.month, r.start.year, r.start.hour, r.start.minute,
                  r.start.second, r.start.milliseconds, r.end.second, r.end.milliseconds,
                  r.inputIndex + 1);
    // Padded by characters, not bytes, so Cyrillic labels line up as Latin ones do.
    return head + PaddedRight(std::string(label) + ") ", kLabelWidth) + " :" + r.valueText + " " +
           r.errorText;
}

ChannelPolling::ChannelPolling(Device& device) : device_(&device), channels_(&device.channelsNode) {
    for (int i = 0; i < kInputCount; ++i) {
        scanners_[static_cast<std::size_t>(i)] = std::make_unique<Scanner>(device, i);
    }
    channels_->SetPollStopper([this] { StopPolls(); });
    device_->SetPollStopper([this] { DeviceGoing(); });
}

ChannelPolling::~ChannelPolling() {
    if (!attached()) return;
    channels_->SetPollStopper({});
    device_->SetPollStopper({});
}

Scanner* ChannelPolling::scanner(int input) {
    if (input < 0 || input >= kInputCount) return nullptr;
    return scanners_[static_cast<std::size_t>(input)].get();
}

void ChannelPolling::SetResultSink(const PollResultSink& sink) {
    for (auto& s : scanners_) {
        if (s) s->SetResultSink(sink);
    }
}

void ChannelPolling::Changed() const {
    if (changed_) changed_();
}

void ChannelPolling::DeviceGoing() {
    // The scanners read through the device: they end here, not after it.
    // (The device drops its own hook; this runs inside it.)
    channels_->SetPollStopper({});
    channels_ = nullptr;
    device_ = nullptr;
    for (auto& s : scanners_) s.reset();
}

std::string ChannelPolling::LogPath() const {
    if (!attached()) return {};
    return PollLogPath(channels_->logSwitch.value);
}

bool ChannelPolling::CsvLog() const {
    return attached() && IsCsvLogName(channels_->logSwitch.value);
}

void ChannelPolling::AppendLog(std::string_view text) const {
    // The table log holds results only: a spreadsheet reads every line as a row.
    if (CsvLog()) return;
    // Opened for each write, so the file can be read, moved or removed between lines.
    const std::string path = LogPath();
    NoteLogWrite(path, AppendToFile(path, text));
}

void ChannelPolling::AppendCsv(const PollResult& result, std::string_view label) const {
    const std::string path = LogPath();
    std::error_code error;
    const bool fresh =
        !std::filesystem::exists(FilePath(path), error) ||
        std::filesystem::file_size(FilePath(path), error) == 0;
    std::string text = fresh ? std::string(kPollCsvHeader) + "\n" : std::string();
    text += PollCsvLine(result, label) + "\n";
    NoteLogWrite(path, AppendToFile(path, text));
}

void ChannelPolling::NoteLogWrite(const std::string& path,
                                  const std::optional<std::string>& failure) const {
    if (!failure) {
        logFailureTold_ = false;
        return;
    }
    // Told once until a write succeeds again: every result would repeat it.
    if (logFailureTold_ || !device_) return;
    logFailureTold_ = true;
    device_->prompter().notify("Не удается записать протокол опроса в файл " + path + ": " + *failure +
                                   ".\nОпрос продолжается; результаты в файл не пишутся, "
                                   "пока запись не станет возможной.",
                               "Протокол опроса", Icon::Warning);
}

std::string ChannelPolling::PollLine(std::string_view event, int input) const {
    return std::string(event) + " процесс опроса значения '" +
           scanners_[static_cast<std::size_t>(input)]->label + "' (Вход №" +
           std::to_string(input + 1) + ")\n";
}

void ChannelPolling::StopPolls() {
    for (int i = 0; i < kInputCount; ++i) {
        if (scanners_[static_cast<std::size_t>(i)]->Stop() == 0 && channels_->loggingOn) {
            AppendLog(PollLine("Остановлен", i));
        }
    }
    // A rebuild reopens the port next: no read may still be on it.
    for (auto& s : scanners_) s->WaitForRead();
}

PollBranchRow ChannelPolling::DescribePollRow(int input) const {
    PollBranchRow r;
    r.kind = PollBranchRow::Kind::Poll;
    r.input = input;
    const Scanner* s = attached() ? scanners_[static_cast<std::size_t>(input)].get() : nullptr;
    if (!s) return r;
    r.row.text = s->label;
    r.row.image = r.row.selectedImage = kPollRowImage;
    r.row.columns[1] = std::to_string(s->period());
    r.disabled = processState().hasOption(OPT_NO_DEVICE);
    if (!r.disabled) r.stateIcon = s->running() ? POLL_ICON_ON : POLL_ICON_OFF;
    return r;
}

std::vector<PollBranchRow> ChannelPolling::DescribeBranch() const {
    std::vector<PollBranchRow> rows;
    if (!attached()) return rows;
    const bool disabled = processState().hasOption(OPT_NO_DEVICE);

    PollBranchRow group;
    group.kind = PollBranchRow::Kind::Group;
    group.row.text = "Опрос входов";
    group.row.image = 5;
    group.row.selectedImage = 6;
    group.disabled = disabled;
    rows.push_back(group);

    PollBranchRow logging;
    logging.kind = PollBranchRow::Kind::Logging;
    logging.row.text = "Сохранять протокол в файл";
    logging.row.image = logging.row.selectedImage = kLoggingRowImage;
    logging.row.editAsText = true;
    logging.row.columns[1] = channels_->logSwitch.name;
    logging.row.columns[2] = channels_->logSwitch.value;
    logging.disabled = disabled;
    if (channels_->logSwitch.IsPending()) logging.row.colour = kRowPending;
    // A rebuilt tree shows logging that is still on as on.
    if (!disabled) logging.stateIcon = channels_->loggingOn ? POLL_ICON_ON : POLL_ICON_OFF;
    rows.push_back(logging);

    PollBranchRow caption;
    caption.kind = PollBranchRow::Kind::Caption;
    caption.row.text = "     Имя параметра";
    caption.row.image = caption.row.selectedImage = kCaptionRowImage;
    caption.row.columns[1] = "Период";
    caption.row.columns[2] = "Значение";
    caption.row.columns[4] = "Ошибка ввода-вывода";
    caption.disabled = disabled;
    rows.push_back(caption);

    for (int i = 0; i < kInputCount; ++i) rows.push_back(DescribePollRow(i));
    return rows;
}

void ChannelPolling::ExpandGroup() {
    if (!attached()) return;
    for (int i = 0; i < kInputCount; ++i) {
        Scanner& s = *scanners_[static_cast<std::size_t>(i)];
        if (s.label == kNoData) s.label = channels_->channel(i).caption;
    }
}

int ChannelPolling::TogglePollRow(int input, int stateIcon) {
    if (!attached() || input < 0 || input >= kInputCount) return stateIcon;
    if (stateIcon == POLL_ICON_NONE) return stateIcon;
    Scanner& s = *scanners_[static_cast<std::size_t>(input)];
    if (stateIcon == POLL_ICON_OFF) {
        s.Start();
        if (channels_->loggingOn) AppendLog(PollLine("Запущен", input));
        Changed();
        return POLL_ICON_ON;
    }
    s.Stop();
    if (channels_->loggingOn) AppendLog(PollLine("Остановлен", input));
    Changed();
    return POLL_ICON_OFF;
}

int ChannelPolling::ToggleLoggingRow(int stateIcon) {
    if (!attached() || stateIcon == POLL_ICON_NONE) return stateIcon;
    if (stateIcon == POLL_ICON_OFF) {
        channels_->loggingOn = true;
        AppendLog("\nПротоколирование запущено " + FormatLocalTime("%c") + "\n");
        Changed();
        return POLL_ICON_ON;
    }
    // The polls go on; only the log stops.
    AppendLog("\nЛог остановлен в " + FormatLocalTime("%c") + "\nВсе опросы каналов преращены\n");
    channels_->loggingOn = false;
    Changed();
    return POLL_ICON_OFF;
}

void ChannelPolling::EditLabel(int input, std::string text) {
    if (!attached() || input < 0 || input >= kInputCount) return;
    Scanner& s = *scanners_[static_cast<std::size_t>(input)];
    const bool different = s.label != text;
    const bool wasRunning = s.Stop() == 0;
    s.label = std::move(text);
    if (wasRunning) s.Start();
    if (different) Changed();
}

bool ChannelPolling::EditPeriod(int input, std::string_view text) {
    if (!attached() || input < 0 || input >= kInputCount) return false;
    const std::optional<std::string> typed = TypedNumber(text);
    const double number = typed ? ReadNumber(*typed).value : 0;
    if (!(number >= kMinimumPeriodMs && number <= kMaximumPeriodMs)) {
        device_->prompter().notify(
            "Период опроса должен быть задан числом в миллисекундах.\nПериод опроса не может "
            "быть меньше 100 миллисекунд",
            "Неудалось изменить период опроса", Icon::Stop);
        return false;
    }
    Scanner& s = *scanners_[static_cast<std::size_t>(input)];
    const auto period = static_cast<std::int64_t>(std::trunc(number));
    const bool different = period != s.period();
    const bool wasRunning = s.Stop() == 0;
    s.SetPeriod(period);
    if (wasRunning) s.Start();
    if (different) Changed();
    return true;
}

EditOutcome ChannelPolling::EditLogName(std::string_view oldText, std::string_view newText) {
    EditOutcome outcome;
    if (!attached() || newText == oldText) {
        outcome.accepted = true;
        outcome.cellText = std::string(oldText);
        return outcome;
    }
    Parameter& name = channels_->logSwitch;
    outcome.accepted = name.AssignValue(newText, device_->prompter());
    if (!outcome.accepted) return outcome;
    outcome.changedAnything = true;
    outcome.cellText = name.value;
    outcome.pending = name.IsPending();
    Changed();
    return outcome;
}

std::optional<PollRowUpdate> ChannelPolling::Receive(const PollResult& result) {
    if (!attached() || result.inputIndex < 0 || result.inputIndex >= kInputCount) {
        return std::nullopt;
    }
    const Scanner& s = *scanners_[static_cast<std::size_t>(result.inputIndex)];
    // A result of a scanner that no longer exists has no row to go to.
    if (s.id() != result.scannerId) return std::nullopt;
    if (channels_->loggingOn) {
        if (CsvLog()) {
            AppendCsv(result, s.label);
        } else {
            AppendLog(PollLogLine(result, s.label) + "\n");
        }
    }
    // Read before the port reopened, another module or a new configuration:
    // logged as the reading it was, but no longer the input's value now.
    if (result.epoch != device_->epoch()) return std::nullopt;
    latest_[static_cast<std::size_t>(result.inputIndex)] =
        LatestPoll{s.label, result.valueText, result.errorText, result.end};
    PollRowUpdate update;
    update.input = result.inputIndex;
    update.label = s.label;
    update.valueText = result.valueText;
    update.errorText = result.errorText;
    update.colour = result.errorText.empty() ? kRowNormal : kRowError;
    if (update.errorText.empty()) {
        const NumberReading number = ReadNumber(update.valueText);
        if (number.consumed > 0 && number.consumed == update.valueText.size()) {
            update.number = number.value;
        }
    }
    if (!update.number) {
        update.noNumberWhy = update.errorText.empty() ? update.valueText : update.errorText;
    }
    return update;
}

std::optional<LatestPoll> ChannelPolling::Latest(int input) const {
    if (!attached() || input < 0 || input >= kInputCount) return std::nullopt;
    return latest_[static_cast<std::size_t>(input)];
}

}  // namespace zep8
