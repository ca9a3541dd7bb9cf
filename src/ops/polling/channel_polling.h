#pragma once

// The poll branch of the tree: which inputs are polled, how often, under
// which labels, and the poll log. Driven by the tree view and the document.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/tree_row.h"
#include "ops/device/configuration_edit.h"
#include "ops/polling/scanner.h"
#include "platform/process_state.h"

namespace zep8 {

class Channels;
class Device;

// State icons of the poll branch's check boxes.
enum PollStateIcon : int {
    POLL_ICON_NONE = 0,
    POLL_ICON_OFF = 1,
    POLL_ICON_ON = 3,
};

// One row of the poll branch as the tree-list shows it.
struct PollBranchRow {
    enum class Kind { Group, Logging, Caption, Poll };
    Kind kind = Kind::Poll;
    TreeRow row;
    int stateIcon = POLL_ICON_NONE;
    int input = -1;         // poll rows only
    bool disabled = false;  // no module communication in this run
};

// What a received result changes in its poll row.
struct PollRowUpdate {
    int input = 0;
    std::string label;  // the row to change shows this in column 0
    std::string valueText;
    std::string errorText;
    RowColour colour = kRowNormal;
    // For the plot: the value as a number, or else why there is none (the
    // error text, or the module's word in place of a value, "Датчик отключен.").
    std::optional<double> number;
    std::string noNumberWhy;
};

// The last result of an input's poll, as its row shows it.
struct LatestPoll {
    std::string label;
    std::string valueText;
    std::string errorText;
    PollTime end;
};

// The pollers of the eight inputs and their log. Every operation runs on the
// owner's (the window's) thread; only the result sink is called from the
// scanners' worker threads. Stops the polls when the inputs are rebuilt or
// reset (with stop lines in the log) and when the device goes (silently).
// One per device: it takes the device's and the inputs' stop hooks.
class ChannelPolling {
  public:
    explicit ChannelPolling(Device& device);
    ~ChannelPolling();
    ChannelPolling(const ChannelPolling&) = delete;
    ChannelPolling& operator=(const ChannelPolling&) = delete;

    // False once the device has gone: every operation then does nothing.
    bool attached() const { return channels_ != nullptr; }
    Scanner* scanner(int input);
    void SetResultSink(const PollResultSink& sink);
    // Called (on the owner's thread) when the operator changed a poll
    // setting: a label, a period, the log's name, a check box. The
    // configuration then counts as modified.
    void SetChangeSink(std::function<void()> sink) { changed_ = std::move(sink); }

    // The group row, the logging row, the caption row and the eight poll rows.
    std::vector<PollBranchRow> DescribeBranch() const;
    PollBranchRow DescribePollRow(int input) const;
    // Opening the group: labels still without data take the inputs' captions.
    void ExpandGroup();

    // A click on a check box; returns the row's new state icon.
    int TogglePollRow(int input, int stateIcon);
    int ToggleLoggingRow(int stateIcon);

    // In-place edits of a poll row; a running poll restarts from the change.
    void EditLabel(int input, std::string text);
    // False (after telling the operator) when the text is not a period of at
    // least 100 ms; the cell then gets its old text back.
    bool EditPeriod(int input, std::string_view text);
    // The value cell of the logging row: the log's name. Green until the
    // program ends, as any edited text parameter.
    EditOutcome EditLogName(std::string_view oldText, std::string_view newText);

    // Logs the result (when logging is on) and says what its row shows now;
    // nothing when its scanner is gone.
    std::optional<PollRowUpdate> Receive(const PollResult& result);
    // What the input's row shows since its last result; nothing before one.
    std::optional<LatestPoll> Latest(int input) const;

    // Where the log goes (see PollLogPath).
    std::string LogPath() const;
    // The log is a table for a spreadsheet (its name ends with ".csv").
    bool CsvLog() const;

  private:
    void StopPolls();
    void DeviceGoing();
    void AppendLog(std::string_view text) const;
    void AppendCsv(const PollResult& result, std::string_view label) const;
    // Tells the operator once that the log cannot be written; the polls go on.
    // `failure`: the reason a write to the log failed; nothing when it worked.
    void NoteLogWrite(const std::string& path, const std::optional<std::string>& failure) const;
    std::string PollLine(std::string_view event, int input) const;
    void Changed() const;

    Device* device_;
    Channels* channels_;
    std::array<std::unique_ptr<Scanner>, kInputCount> scanners_;
    std::array<std::optional<LatestPoll>, kInputCount> latest_;
    mutable bool logFailureTold_ = false;  // owner's thread only
    std::function<void()> changed_;
};

// The log line of one result, without its line feed.
std::string PollLogLine(const PollResult& result, std::string_view label);
// The same as a line of the table log: time;input;label;value;error, with the
// local time in ISO 8601 with milliseconds; texts quoted when they need it.
std::string PollCsvLine(const PollResult& result, std::string_view label);
inline constexpr std::string_view kPollCsvHeader = "time;input;label;value;error";

// The log file of a base name: "<name>.log", or the name itself when it ends
// with ".csv". A relative name is taken in PollLogFolder(), since the program's
// working directory is not for the user's files.
std::string PollLogPath(std::string_view baseName);
bool IsCsvLogName(std::string_view baseName);
// The user's data folder of the program (UserDataFolder).
std::string PollLogFolder();

}  // namespace zep8
