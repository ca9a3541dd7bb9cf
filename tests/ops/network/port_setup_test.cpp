#include "ops/network/port_setup.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>

#include "support/device_on_pty.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;

class RecordingView : public PortSetupView {
  public:
    void SetStatus(std::string_view text, bool error) override {
        std::lock_guard lock(mutex_);
        statuses.emplace_back(text, error);
    }
    void SetValueCell(int row, std::string_view value) override {
        std::lock_guard lock(mutex_);
        cells.emplace_back(std::to_string(row) + "=" + std::string(value));
    }
    void PostCommand(int command) override {
        std::lock_guard lock(mutex_);
        posted_.push_back(command);
        arrived_.notify_one();
    }
    // The dialog's message loop: delivers posted commands until one closes it.
    std::optional<int> RunUntilClosed(PortSetup& setup) {
        for (;;) {
            std::unique_lock lock(mutex_);
            if (!arrived_.wait_for(lock, 30s, [this] { return !posted_.empty(); }))
                return std::nullopt;
            const int command = posted_.front();
            posted_.pop_front();
            lock.unlock();
            if (const auto result = setup.Command(command)) return result;
        }
    }
    std::vector<std::pair<std::string, bool>> Statuses() {
        std::lock_guard lock(mutex_);
        return statuses;
    }

    std::vector<std::pair<std::string, bool>> statuses;
    std::vector<std::string> cells;

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<int> posted_;
};

class PortSetupTest : public testing::DeviceOnPty {
  protected:
    // A link attempt that only notes the speed it was made at.
    std::function<bool()> SucceedsAt(std::string speed) {
        return [this, speed] {
            const std::string tried = device->programNet().GetValue("bPS");
            {
                std::lock_guard lock(triedMutex);
                attempts.push_back(tried);
            }
            if (onAttempt) onAttempt();
            return tried == speed;
        };
    }
    std::vector<std::string> Attempts() {
        std::lock_guard lock(triedMutex);
        return attempts;
    }

    RecordingView view;
    std::mutex triedMutex;
    std::vector<std::string> attempts;
    std::function<void()> onAttempt;
};

TEST_F(PortSetupTest, ScanFindsTheModuleAtItsSpeed) {
    device->programNet().SetValue("bPS", "9600", false);
    PortSetup setup(*device, view, true, SucceedsAt("38400"));
    setup.Open();
    EXPECT_EQ(setup.Rows().size(), 8u);
    EXPECT_EQ(setup.Rows()[0].title, "Скорость обмена данными");
    EXPECT_EQ(setup.Rows()[6].name, "Port");
    EXPECT_FALSE(setup.Command(PortSetup::CMD_SCAN));
    EXPECT_EQ(view.RunUntilClosed(setup), PortSetup::CMD_OK);
    EXPECT_EQ(Attempts(), (std::vector<std::string>{"2400", "4800", "9600", "14400", "19200",
                                                    "28800", "38400"}));
    EXPECT_EQ(device->programNet().GetValue("bPS"), "38400");
    const auto statuses = view.Statuses();
    EXPECT_EQ(statuses.front(),
              std::make_pair(std::string("Идет сканирование на скорости 2400..."), false));
    EXPECT_EQ(statuses.back(), std::make_pair(std::string("Связь установлена!"), false));
    EXPECT_EQ(prompter.messages().back().text, "Связь с прибором установлена!");
    EXPECT_FALSE(device->abortEvent.isSet());
}

TEST_F(PortSetupTest, AFailedScanRestoresTheSpeed) {
    device->programNet().SetValue("bPS", "19200", false);
    PortSetup setup(*device, view, false, SucceedsAt("none"));
    setup.Open();
    setup.Command(PortSetup::CMD_SCAN);
    // Waits until the scan has given up, then leaves.
    for (int i = 0; i < 500 && (view.Statuses().empty() || !view.Statuses().back().second); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(Attempts().size(), 9u);
    EXPECT_EQ(device->programNet().GetValue("bPS"), "19200");
    EXPECT_EQ(view.Statuses().back(),
              std::make_pair(std::string("Не удалось установить связь с прибором!"), true));
    EXPECT_EQ(view.cells.back(), "0=19200");
    EXPECT_FALSE(setup.Command(PortSetup::CMD_EXIT));
    EXPECT_EQ(view.RunUntilClosed(setup), PortSetup::CMD_EXIT);
}

TEST_F(PortSetupTest, ExitStopsTheScanBeforeTheNextSpeed) {
    PortSetup setup(*device, view, true, SucceedsAt("none"));
    Event secondAttempt(Event::Reset::Manual), exitPressed(Event::Reset::Manual);
    onAttempt = [&] {
        if (Attempts().size() == 2) {
            secondAttempt.set();
            exitPressed.wait(5s);
        }
    };
    setup.Open();
    setup.Command(PortSetup::CMD_SCAN);
    ASSERT_TRUE(secondAttempt.wait(5s));
    EXPECT_FALSE(setup.Command(PortSetup::CMD_EXIT));
    exitPressed.set();
    EXPECT_EQ(view.RunUntilClosed(setup), PortSetup::CMD_EXIT);
    EXPECT_EQ(Attempts().size(), 2u);
    bool interrupting = false;
    for (const auto& [text, error] : view.Statuses())
        interrupting |= text == "Прерывание операции...";
    EXPECT_TRUE(interrupting);
}

TEST_F(PortSetupTest, FactorySettingsAndOffline) {
    device->programNet().SetValue("Port", "ttyUSB3", false);
    PortSetup setup(*device, view, false, SucceedsAt("9600"));
    setup.Open();
    setup.Command(PortSetup::CMD_FACTORY);
    EXPECT_EQ(view.RunUntilClosed(setup), PortSetup::CMD_OK);
    const auto rows = setup.Rows();
    const char* factory[] = {"9600", "8", "Отсутствует", "1", "8", "16", "COM1"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(rows[i].value, factory[i]) << i;
    EXPECT_EQ(view.Statuses().front().first, "Идет сканирование...");
    EXPECT_EQ(prompter.count(), 0u);  // no main window to show the message over

    processState().optionFlags = OPT_SILENT | OPT_AUTOREAD_ON;
    PortSetup offline(*device, view, false, SucceedsAt("none"));
    offline.Open();
    EXPECT_FALSE(offline.Command(PortSetup::CMD_OFFLINE));
    EXPECT_EQ(view.RunUntilClosed(offline), PortSetup::CMD_OK);
    EXPECT_EQ(processState().optionFlags.load(), OPT_AUTOREAD_OFF);
}

// The operator types into the table while the worker reopens the port with
// the program's settings again and again: the edits and the reopens take
// turns (ThreadSanitizer watches this in ./test), and the last edit stays.
TEST_F(PortSetupTest, EditsWhileTheWorkerReopensThePort) {
    Event reopening(Event::Reset::Manual);
    PortSetup setup(*device, view, false, [&] {
        reopening.set();
        for (int i = 0; i < 20; ++i) device->ReopenPort(false);
        return false;
    });
    setup.Open();
    const auto rows = setup.Rows();
    int address = 0;
    while (rows[address].name != "Addr") ++address;
    setup.Command(PortSetup::CMD_CONNECT);
    ASSERT_TRUE(reopening.wait(5s));
    for (int i = 0; i < 200; ++i) setup.EditValue(address, std::to_string(16 + i % 8));
    for (int i = 0; i < 500 && !view.Statuses().back().second; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(view.Statuses().back().first, "Не удалось установить связь с прибором!");
    EXPECT_EQ(setup.Rows()[address].value, "23");
    EXPECT_FALSE(setup.Command(PortSetup::CMD_EXIT));
    EXPECT_EQ(view.RunUntilClosed(setup), PortSetup::CMD_EXIT);
}

sim::LineSettings Slow() {
    sim::LineSettings line;
    line.baud = 2400;
    return line;
}

class PortSetupOnSlowModule : public testing::DeviceOnPty {
  protected:
    PortSetupOnSlowModule() : DeviceOnPty(Slow()) {}
};

TEST_F(PortSetupOnSlowModule, ScanReachesTheRealModule) {
    device->programNet().SetValue("bPS", "9600", false);
    RecordingView view;
    PortSetup setup(*device, view, true);
    setup.Open();
    setup.Command(PortSetup::CMD_SCAN);
    EXPECT_EQ(view.RunUntilClosed(setup), PortSetup::CMD_OK);
    EXPECT_EQ(device->programNet().GetValue("bPS"), "2400");
    EXPECT_EQ(device->Identify(false), 0x07);
}

TEST_F(PortSetupTest, TheProgramsStopEndsTheWorkerAndStays) {
    PortSetup setup(*device, view, true, SucceedsAt("none"));
    device->StopAll();  // the exit event came before the dialog
    setup.Open();
    EXPECT_EQ(view.RunUntilClosed(setup), PortSetup::CMD_EXIT);
    EXPECT_TRUE(device->stoppingAll());
    EXPECT_TRUE(device->abortEvent.isSet());
    EXPECT_TRUE(Attempts().empty());
}

TEST_F(PortSetupTest, ItsStopIsItsOwn) {
    PortSetup setup(*device, view, true, SucceedsAt("none"));
    setup.Open();
    EXPECT_FALSE(setup.Command(PortSetup::CMD_EXIT));
    EXPECT_EQ(view.RunUntilClosed(setup), PortSetup::CMD_EXIT);
    // A job after the dialog runs whole.
    ASSERT_TRUE(device->ReadAll());
    EXPECT_EQ(observer.counter(ProgressCounter::Parameters), 84);
}

}  // namespace
}  // namespace zep8
