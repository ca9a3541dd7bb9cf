#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "ops/polling/channel_polling.h"
#include "platform/text.h"
#include "platform/whole_file.h"
#include "support/device_on_pty.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::DeviceOnPty;

struct Arrival {
    PollResult result;
    Clock::time_point at;
};

// The window's side: results queue up on the workers' threads and are taken
// one by one on the test's thread, as the window will take them.
class ResultQueue {
  public:
    void Push(PollResult&& r) {
        std::lock_guard lock(mutex_);
        queue_.push_back({std::move(r), Clock::now()});
        ready_.notify_all();
    }
    std::optional<Arrival> Next(std::chrono::milliseconds timeout = 3s) {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, timeout, [&] { return !queue_.empty(); })) return std::nullopt;
        Arrival a = std::move(queue_.front());
        queue_.pop_front();
        return a;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        queue_.clear();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Arrival> queue_;
};

class Polling : public DeviceOnPty {
  protected:
    void SetUp() override {
        DeviceOnPty::SetUp();
        if (HasFatalFailure()) return;
        dir = std::filesystem::temp_directory_path() /
              ("zep8-poll-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        polling = std::make_unique<ChannelPolling>(*device);
        polling->SetResultSink([this](PollResult&& r) { results.Push(std::move(r)); });
        device->channelsNode.logSwitch.value = (dir / "poll").string();
        for (int i = 0; i < kInputCount; ++i) {
            module().setSource(i, sim::MeasurementSource::constant(10 * i + 0.5));
            module().setValue("in-t", i, 5);
        }
    }
    void TearDown() override {
        DeviceOnPty::TearDown();  // the device goes first, as in the program
        polling.reset();
        std::filesystem::remove_all(dir);
    }

    std::vector<std::string> LogLines() const {
        std::ifstream in(dir / "poll.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    Scanner& Poller(int i) { return *polling->scanner(i); }
    // Takes the next result and hands it to the branch, as the window does.
    std::optional<PollRowUpdate> ReceiveNext() {
        std::optional<Arrival> a = results.Next();
        if (!a) return std::nullopt;
        return polling->Receive(a->result);
    }

    std::filesystem::path dir;
    ResultQueue results;
    std::unique_ptr<ChannelPolling> polling;
};

// " 7.12.2026 20:45:05.123 - 05.234": the clock fields of a result line.
const std::regex kClockFields(
    R"(^[ 1-3][0-9]\.[01][0-9]\.[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\.[0-9]{3} - )"
    R"([0-5][0-9]\.[0-9]{3}$)");
constexpr std::size_t kClockWidth = 32;

TEST_F(Polling, EightInputsLogExactLinesAndLoggingStopsWithoutStoppingPolls) {
    polling->EditLabel(5, "Температура печи");  // kept when the group opens
    polling->ExpandGroup();
    EXPECT_EQ(polling->ToggleLoggingRow(POLL_ICON_OFF), POLL_ICON_ON);
    for (int i = 0; i < kInputCount; ++i) {
        ASSERT_TRUE(polling->EditPeriod(i, "100"));
        EXPECT_EQ(polling->TogglePollRow(i, POLL_ICON_OFF), POLL_ICON_ON);
    }
    std::array<int, kInputCount> seen{};
    while (*std::min_element(seen.begin(), seen.end()) < 2) {
        std::optional<PollRowUpdate> update = ReceiveNext();
        ASSERT_TRUE(update);
        ++seen[update->input];
        EXPECT_EQ(update->valueText, FormatFixed(10 * update->input + 0.5, 1));
        EXPECT_EQ(update->number, 10 * update->input + 0.5);
        EXPECT_EQ(update->errorText, "");
        EXPECT_EQ(update->colour, kRowNormal);
        EXPECT_EQ(update->label, Poller(update->input).label);
    }
    EXPECT_EQ(polling->ToggleLoggingRow(POLL_ICON_ON), POLL_ICON_OFF);
    const std::size_t logged = LogLines().size();
    // The polls go on and their rows still change, without log lines.
    results.Clear();
    for (int n = 0; n < 8; ++n) ASSERT_TRUE(ReceiveNext());
    EXPECT_EQ(LogLines().size(), logged);
    for (int i = 0; i < kInputCount; ++i) EXPECT_TRUE(Poller(i).running());

    const std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), 2u + 8u + 16u + 3u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1].rfind("Протоколирование запущено ", 0), 0u) << lines[1];
    for (int i = 0; i < kInputCount; ++i) {
        const std::string label = i == 5 ? "Температура печи" : "Вход №" + std::to_string(i + 1);
        EXPECT_EQ(lines[2 + i], "Запущен процесс опроса значения '" + label + "' (Вход №" +
                                    std::to_string(i + 1) + ")");
    }
    int resultLines = 0;
    for (std::size_t n = 10; n + 3 < lines.size(); ++n) {
        const std::string& line = lines[n];
        ASSERT_GT(line.size(), kClockWidth) << line;
        EXPECT_TRUE(std::regex_match(line.substr(0, kClockWidth), kClockFields)) << line;
        const std::string rest = line.substr(kClockWidth);
        const std::string prefix = " Опрашивается канал под номером ";
        ASSERT_EQ(rest.rfind(prefix, 0), 0u) << line;
        const int input = rest[prefix.size()] - '1';
        ASSERT_TRUE(input >= 0 && input < kInputCount) << line;
        // The label and its ") " take at least twelve characters, counted as characters.
        const std::string labelField =
            input == 5 ? "Температура печи) " : "Вход №" + std::to_string(input + 1) + ")    ";
        EXPECT_EQ(rest.substr(prefix.size() + 1),
                  " (" + labelField + " :" + FormatFixed(10 * input + 0.5, 1) + " ")
            << line;
        ++resultLines;
    }
    EXPECT_GE(resultLines, 16);
    EXPECT_EQ(lines[lines.size() - 3], "");
    EXPECT_EQ(lines[lines.size() - 2].rfind("Лог остановлен в ", 0), 0u);
    EXPECT_EQ(lines.back(), "Все опросы каналов преращены");
}

TEST_F(Polling, StartAndStopLinesOnlyWhileLogging) {
    polling->ExpandGroup();
    polling->TogglePollRow(0, POLL_ICON_OFF);  // logging off: nothing written
    EXPECT_FALSE(std::filesystem::exists(dir / "poll.log"));
    polling->ToggleLoggingRow(POLL_ICON_OFF);  // no start line for the poll already running
    polling->TogglePollRow(1, POLL_ICON_OFF);
    polling->TogglePollRow(0, POLL_ICON_ON);
    EXPECT_EQ(polling->TogglePollRow(2, POLL_ICON_NONE), POLL_ICON_NONE);
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "Запущен процесс опроса значения 'Вход №2' (Вход №2)");
    EXPECT_EQ(lines[3], "Остановлен процесс опроса значения 'Вход №1' (Вход №1)");
    EXPECT_FALSE(Poller(0).running());
    EXPECT_TRUE(Poller(1).running());
    EXPECT_FALSE(Poller(2).running());

    // The rows show what runs; without module communication they are disabled and unticked.
    std::vector<PollBranchRow> rows = polling->DescribeBranch();
    ASSERT_EQ(rows.size(), 3u + kInputCount);
    EXPECT_EQ(rows[1].stateIcon, POLL_ICON_ON);
    EXPECT_EQ(rows[3].stateIcon, POLL_ICON_OFF);
    EXPECT_EQ(rows[4].stateIcon, POLL_ICON_ON);
    EXPECT_EQ(rows[4].row.text, "Вход №2");
    processState().optionFlags = OPT_NO_DEVICE;
    for (const PollBranchRow& r : polling->DescribeBranch()) {
        EXPECT_TRUE(r.disabled);
        EXPECT_EQ(r.stateIcon, POLL_ICON_NONE);
    }
}

TEST_F(Polling, RebuildAndResetStopEveryPollWithStopLines) {
    polling->ToggleLoggingRow(POLL_ICON_OFF);
    polling->TogglePollRow(3, POLL_ICON_OFF);
    polling->TogglePollRow(6, POLL_ICON_OFF);
    device->channelsNode.ResetValues();
    polling->TogglePollRow(0, POLL_ICON_OFF);
    device->Rebuild();
    for (int i = 0; i < kInputCount; ++i) EXPECT_FALSE(Poller(i).running()) << i;
    const std::vector<std::string> lines = LogLines();
    const std::vector<std::string> expected = {
        "Остановлен процесс опроса значения 'Нет данных' (Вход №4)",
        "Остановлен процесс опроса значения 'Нет данных' (Вход №7)",
        "Запущен процесс опроса значения 'Нет данных' (Вход №1)",
        "Остановлен процесс опроса значения 'Нет данных' (Вход №1)"};
    ASSERT_EQ(lines.size(), 2u + 2u + expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()), expected);

    // The device's end stops the polls without a word in the log.
    polling->TogglePollRow(2, POLL_ICON_OFF);
    const std::size_t before = LogLines().size();
    device.reset();
    EXPECT_FALSE(polling->attached());
    EXPECT_EQ(LogLines().size(), before);
    EXPECT_EQ(polling->TogglePollRow(2, POLL_ICON_OFF), POLL_ICON_OFF);
}

TEST_F(Polling, RebuildLetsAReadUnderWayEndBeforeThePortReopens) {
    Poller(5).SetPeriod(20);
    module().injectDelay(90ms, 1);
    Poller(5).Start();
    std::this_thread::sleep_for(50ms);  // the slow read is on the line
    device->Rebuild();
    std::optional<Arrival> a = results.Next(1s);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->result.errorText, "");
    EXPECT_EQ(a->result.valueText, "50.5");
    EXPECT_FALSE(Poller(5).running());
    EXPECT_FALSE(results.Next(100ms));
}

TEST_F(Polling, ExceptionCodesAreValuesAndFailuresAreRedErrors) {
    polling->ExpandGroup();
    polling->ToggleLoggingRow(POLL_ICON_OFF);
    module().setMeasurementException(2, 0xFD);
    Poller(2).SetPeriod(20);
    polling->TogglePollRow(2, POLL_ICON_OFF);
    std::optional<PollRowUpdate> update = ReceiveNext();
    ASSERT_TRUE(update);
    EXPECT_EQ(update->valueText, "Обрыв датчика.");
    EXPECT_EQ(update->errorText, "");
    EXPECT_EQ(update->colour, kRowNormal);
    EXPECT_FALSE(update->number);  // the plot says why instead
    EXPECT_EQ(update->noNumberWhy, "Обрыв датчика.");

    module().forceError("rEAd", 3);
    results.Clear();
    do {
        update = ReceiveNext();
        ASSERT_TRUE(update);
    } while (update->errorText.empty());
    EXPECT_EQ(update->valueText, "");
    EXPECT_EQ(update->colour, kRowError);
    EXPECT_EQ(update->noNumberWhy, update->errorText);
    EXPECT_TRUE(Poller(2).running());  // a failed read stops nothing
    polling->TogglePollRow(2, POLL_ICON_ON);
    const std::vector<std::string> lines = LogLines();
    // The empty value, one blank, the error.
    const std::string tail = "(Вход №3)     : " + update->errorText;
    bool errorLogged = false;
    for (const std::string& line : lines) errorLogged |= line.ends_with(tail);
    EXPECT_TRUE(errorLogged);
}

TEST_F(Polling, PeriodEditsAreCheckedAndRestartTheTimer) {
    struct Case {
        const char* text;
        bool accepted;
        std::int64_t period;
    };
    for (const Case& c : {Case{"99.9", false, 1000}, Case{"abc", false, 1000},
                          Case{"", false, 1000}, Case{"100", true, 100}, Case{"150.7", true, 150},
                          Case{"300000", true, 300000}, Case{"5000000000", true, 5000000000},
                          Case{"250,5", true, 250}, Case{"2000abc", false, 1000}}) {
        prompter.clear();
        Poller(4).SetPeriod(1000);
        EXPECT_EQ(polling->EditPeriod(4, c.text), c.accepted) << c.text;
        EXPECT_EQ(Poller(4).period(), c.period) << c.text;
        EXPECT_EQ(polling->DescribePollRow(4).row.columns[1], std::to_string(c.period));
        if (c.accepted) {
            EXPECT_EQ(prompter.count(), 0u);
            continue;
        }
        ASSERT_EQ(prompter.count(), 1u) << c.text;
        EXPECT_EQ(prompter.messages()[0].text,
                  "Период опроса должен быть задан числом в миллисекундах.\nПериод опроса не "
                  "может быть меньше 100 миллисекунд");
        EXPECT_EQ(prompter.messages()[0].caption, "Неудалось изменить период опроса");
        EXPECT_EQ(prompter.messages()[0].icon, Icon::Stop);
    }

    // Periods beyond 32-bit tenths of microseconds are armed in full.
    for (std::int64_t period :
         {std::int64_t{214749}, std::int64_t{300000}, std::int64_t{5000000000}}) {
        Poller(4).SetPeriod(period);
        Poller(4).Start();
        const auto left = Poller(4).TimeToNextPoll().count();
        EXPECT_LE(left, period);
        EXPECT_GT(left, period - 2000);
        Poller(4).Stop();
        EXPECT_EQ(Poller(4).TimeToNextPoll().count(), 0);
    }

    // A running poll at 1 s gets 150 ms: the next read comes 150 ms after the edit.
    polling->EditPeriod(4, "1000");
    polling->TogglePollRow(4, POLL_ICON_OFF);
    std::this_thread::sleep_for(300ms);
    const auto edited = Clock::now();
    ASSERT_TRUE(polling->EditPeriod(4, "150"));
    EXPECT_TRUE(Poller(4).running());
    std::optional<Arrival> first = results.Next();
    ASSERT_TRUE(first);
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(first->at - edited);
    EXPECT_GE(after.count(), 140);
    EXPECT_LT(after.count(), 500);
}

TEST_F(Polling, TicksDuringASlowReadMergeIntoOneRead) {
    Scanner& s = Poller(1);
    s.SetPeriod(40);
    // The first read takes 90 ms: two more expiries come while it runs.
    module().injectDelay(90ms, 1);
    const auto started = Clock::now();
    s.Start();
    std::vector<Clock::time_point> at;
    while (at.size() < 5) {
        std::optional<Arrival> a = results.Next();
        ASSERT_TRUE(a);
        EXPECT_EQ(a->result.errorText, "");
        at.push_back(a->at);
    }
    s.Stop();
    auto ms = [](Clock::duration d) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    };
    EXPECT_GE(ms(at[0] - started), 120);  // the slow one
    EXPECT_LT(ms(at[1] - at[0]), 25);     // one pending tick kept: read at once
    EXPECT_GE(ms(at[2] - at[1]), 12);     // and no second one: back to the period
    EXPECT_GE(ms(at[3] - at[2]), 12);
    EXPECT_EQ(module().count("rEAd").received, static_cast<int>(s.readCount()));
}

TEST_F(Polling, ResultsOutliveTheirScanners) {
    Poller(0).SetPeriod(20);
    Poller(0).Start();
    std::optional<Arrival> early = results.Next();
    ASSERT_TRUE(early);
    // A result of an earlier scanner of the same input has no row any more.
    PollResult stale = early->result;
    stale.scannerId = 0;
    EXPECT_FALSE(polling->Receive(stale));
    EXPECT_TRUE(polling->Receive(early->result));
    polling->ToggleLoggingRow(POLL_ICON_OFF);
    device.reset();  // the scanners go with the device
    std::optional<Arrival> late = results.Next(200ms);
    EXPECT_FALSE(polling->Receive(early->result));
    if (late) {
        EXPECT_FALSE(polling->Receive(late->result));
    }
    EXPECT_EQ(polling->scanner(0), nullptr);
}

TEST_F(Polling, AReadingTakenBeforeAReopenIsNotShownAfterIt) {
    Poller(0).SetPeriod(20);
    Poller(0).Start();
    std::optional<Arrival> before = results.Next();
    ASSERT_TRUE(before);
    // The port opens anew (another module, another speed) before the window
    // takes the reading in: it is no longer the input's value.
    device->ReopenPort(false);
    EXPECT_FALSE(polling->Receive(before->result));
    EXPECT_EQ(polling->Latest(0), std::nullopt);
    // One read after the reopen is shown.
    std::optional<PollRowUpdate> after;
    for (int i = 0; i < 20 && !after; ++i) after = ReceiveNext();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->valueText, "0.5");
}

// Eight pollers, a bulk job and single-parameter reads share the link at once.
TEST_F(Polling, ConcurrentPollersBulkJobAndSingleReads) {
    for (int i = 0; i < kInputCount; ++i) {
        Poller(i).SetPeriod(15);
        Poller(i).Start();
    }
    std::thread bulk([&] { EXPECT_TRUE(device->ReadAll()); });
    // Its own parameter, as the single-parameter dialog has: the job owns the tree's.
    Parameter sensor("in-t");
    sensor.index = 3;
    for (int n = 0; n < 20; ++n) EXPECT_EQ(device->ReadParameter(sensor), 0) << sensor.errorText;
    bulk.join();
    std::array<bool, kInputCount> seen{};
    for (int n = 0; n < 200 && std::count(seen.begin(), seen.end(), true) < kInputCount; ++n) {
        std::optional<PollRowUpdate> update = ReceiveNext();
        ASSERT_TRUE(update);
        EXPECT_EQ(update->errorText, "");
        seen[update->input] = true;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), kInputCount);
    EXPECT_EQ(observer.counter(ProgressCounter::ParametersWithErrors), 0);
}

}  // namespace
}  // namespace zep8

namespace zep8 {
namespace {

TEST_F(Polling, AnUnwritableLogIsToldOnceAndThePollsGoOn) {
    // A file stands where the log's folder should be.
    std::ofstream(dir / "blocked") << "not a folder";
    device->channelsNode.logSwitch.value = (dir / "blocked" / "poll").string();
    EXPECT_EQ(polling->ToggleLoggingRow(POLL_ICON_OFF), POLL_ICON_ON);
    ASSERT_TRUE(polling->EditPeriod(0, "100"));
    polling->TogglePollRow(0, POLL_ICON_OFF);
    for (int n = 0; n < 3; ++n) {
        std::optional<PollRowUpdate> update = ReceiveNext();
        ASSERT_TRUE(update);
        EXPECT_EQ(update->valueText, FormatFixed(0.5, 1));
    }
    ASSERT_EQ(prompter.count(), 1u);
    EXPECT_EQ(prompter.messages()[0].caption, "Протокол опроса");
    // The system's own reason: "на месте папки в пути лежит файл" on Linux.
    const std::string log = (dir / "blocked" / "poll.log").string();
    EXPECT_NE(prompter.messages()[0].text.find(log + ": " + AppendToFile(log, "").value_or("")),
              std::string::npos)
        << prompter.messages()[0].text;

    // Once the log can be written again, results go to it; a later failure is told anew.
    device->channelsNode.logSwitch.value = (dir / "poll").string();
    ASSERT_TRUE(ReceiveNext());
    EXPECT_FALSE(LogLines().empty());
    device->channelsNode.logSwitch.value = (dir / "missing" / "poll").string();
    ASSERT_TRUE(ReceiveNext());
    ASSERT_TRUE(ReceiveNext());
    ASSERT_EQ(prompter.count(), 2u);
    EXPECT_NE(prompter.messages()[1].text.find("нет такой папки или файла"), std::string::npos);
    EXPECT_TRUE(Poller(0).running());
}

}  // namespace
}  // namespace zep8
