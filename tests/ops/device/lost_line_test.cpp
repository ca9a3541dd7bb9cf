// The line goes away under a job, a poll and a single read, and comes back:
// the virtual module sits behind a symbolic link, as a USB converter sits
// behind its stable name, and is unplugged by closing its pseudo-terminal and
// removing the link.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <iostream>
#include <mutex>

#include "link/serial/serial_port.h"
#include "ops/device/device.h"
#include "ops/network/network_apply.h"
#include "ops/polling/channel_polling.h"
#include "sim/pty_transport.h"
#include "sim/simulated_module.h"
#include "support/device_on_pty.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::FastLine;

long Ms(Clock::duration d) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

class LostLine : public ::testing::Test {
  protected:
    void SetUp() override {
        processState().reset();
        dir = std::filesystem::temp_directory_path() /
              ("zep8-lost-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        link = (dir / "ttyZEP").string();
        PlugIn();
        device = std::make_unique<Device>(std::make_unique<SerialPort>(), prompter);
        device->SetObserver(&observer);
        device->SetHost(&host);
        device->SetFinishHold(0ms);
        testing::PointProgramAt(device->programNet(), link, FastLine());
        device->Rebuild();
        ASSERT_TRUE(device->port().IsOpen()) << device->port().OpenFailureReason();
    }
    void TearDown() override {
        device.reset();
        if (simulated) simulated->stop();
        simulated.reset();
        std::filesystem::remove_all(dir);
        processState().reset();
    }

    void PlugIn() {
        simulated = std::make_unique<sim::SimulatedModule>(FastLine());
        std::string error;
        ASSERT_TRUE(simulated->start(error)) << error;
        ASSERT_TRUE(simulated->transport().createLink(link, error)) << error;
    }
    // The pseudo-terminal closes and its name goes.
    void Unplug() {
        simulated->transport().close();
        unpluggedAt = Clock::now();
    }
    bool Reported(const std::string& text) const {
        for (const auto& m : prompter.messages()) {
            if (m.text.find(text) != std::string::npos) return true;
        }
        return false;
    }

    std::filesystem::path dir;
    std::string link;
    std::unique_ptr<sim::SimulatedModule> simulated;
    RecordingPrompter prompter;
    testing::RecordingObserver observer;
    testing::RecordingHost host;
    std::unique_ptr<Device> device;
    Clock::time_point unpluggedAt;
};

TEST_F(LostLine, ReadAllStopsAtOnceKeepsWhatItReadAndTheNextJobReopens) {
    observer.onCounter = [this](ProgressCounter counter, int value) {
        // The general group is in; the line goes before the next one. (A line
        // lost in the middle of an exchange: the poll test and PtyPort.)
        if (counter == ProgressCounter::Groups && value == 1) Unplug();
    };
    ASSERT_TRUE(device->ReadAll());
    const Clock::time_point ended = Clock::now();
    const Clock::duration took = ended - unpluggedAt;
    std::cout << "[ measured ] read all, line lost: ended " << Ms(took)
              << " ms after; message: " << (prompter.count() ? prompter.messages()[0].text : "")
              << "\n";
    EXPECT_LT(took, 1s);
    // One message, naming the port, and no further tries on the other parameters.
    ASSERT_EQ(prompter.count(), 1u);
    EXPECT_EQ(prompter.messages()[0].caption, "Ошибка связи");
    EXPECT_TRUE(Reported("Порт " + link + " отключился")) << prompter.messages()[0].text;
    EXPECT_LE(observer.counter(ProgressCounter::ParametersWithErrors), 1);
    EXPECT_LT(observer.counter(ProgressCounter::Parameters), 84);
    EXPECT_EQ(processState().ExitStatus() & 0x3, EXIT_PORT_ERROR);  // exit code 201
    EXPECT_EQ(device->commonNode.GetValue("dev"), "ZEP-8");         // read before the loss

    // Back again under the same name: the next job opens it by itself.
    PlugIn();
    prompter.clear();
    observer.onCounter = nullptr;
    ASSERT_TRUE(device->ReadAll());
    EXPECT_EQ(observer.counter(ProgressCounter::ParametersWithErrors), 0);
    EXPECT_EQ(prompter.count(), 0u);
    EXPECT_FALSE(device->LineGone());
}

TEST_F(LostLine, SingleReadFailsFastUntilTheLineIsBack) {
    Parameter* dev = device->commonNode.FindParameter("dev");
    ASSERT_NE(dev, nullptr);
    Unplug();
    ASSERT_TRUE(device->ReadOne(*dev));
    const Clock::duration took = Clock::now() - unpluggedAt;
    std::cout << "[ measured ] single read, line lost: ended " << Ms(took)
              << " ms after; message: " << dev->errorText << "\n";
    EXPECT_LT(took, 1s);
    EXPECT_NE(dev->errorText.find(link), std::string::npos);
    EXPECT_TRUE(Reported("не найден: такого устройства нет"));

    // Still gone: the next read says so at once, without a round of repeats.
    const Clock::time_point again = Clock::now();
    ASSERT_TRUE(device->ReadOne(*dev));
    EXPECT_LT(Clock::now() - again, 200ms);

    PlugIn();
    ASSERT_TRUE(device->ReadOne(*dev));
    EXPECT_EQ(dev->errorText, "");
    EXPECT_EQ(dev->value, "ZEP-8");
}

TEST_F(LostLine, ALostLineDuringTheApplyStopsNothingAfterIt) {
    ApplyChoices choices;
    choices.changeProgram = false;
    NetworkApply apply(*device, choices);
    Unplug();
    apply.SendApply();
    apply.FollowModule();
    apply.Reconnect();
    EXPECT_TRUE(Reported("отключился") || Reported("не найден")) << prompter.messages()[0].text;

    // The apply's stop was its own: the next read-all reads every parameter.
    PlugIn();
    prompter.clear();
    ASSERT_TRUE(device->ReadAll());
    EXPECT_EQ(observer.counter(ProgressCounter::Parameters), 84);
    EXPECT_EQ(observer.counter(ProgressCounter::ParametersWithErrors), 0);
    EXPECT_EQ(prompter.count(), 0u);
}

TEST_F(LostLine, PollReportsTheLossAndGoesOnOnceTheLineIsBack) {
    ChannelPolling polling(*device);
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::pair<PollResult, Clock::time_point>> results;
    polling.SetResultSink([&](PollResult&& r) {
        std::lock_guard lock(mutex);
        results.emplace_back(std::move(r), Clock::now());
        arrived.notify_all();
    });
    Scanner& scanner = *polling.scanner(0);
    scanner.SetPeriod(100);
    // Waits for a result that `wanted` takes, returning it and when it came.
    auto waitFor = [&](auto wanted) -> std::optional<std::pair<PollResult, Clock::time_point>> {
        std::unique_lock lock(mutex);
        std::optional<std::pair<PollResult, Clock::time_point>> found;
        arrived.wait_for(lock, 3s, [&] {
            for (auto& r : results) {
                if (wanted(r.first)) found = r;
            }
            return found.has_value();
        });
        results.clear();
        return found;
    };
    scanner.Start();
    ASSERT_TRUE(waitFor([](const PollResult& r) { return r.errorText.empty(); }));

    Unplug();
    const auto failed = waitFor([](const PollResult& r) { return !r.errorText.empty(); });
    ASSERT_TRUE(failed);
    std::cout << "[ measured ] poll, line lost: first failed result "
              << Ms(failed->second - unpluggedAt)
              << " ms after; message: " << failed->first.errorText << "\n";
    EXPECT_LT(failed->second - unpluggedAt, 1s);
    EXPECT_NE(failed->first.errorText.find(link), std::string::npos);

    PlugIn();
    EXPECT_TRUE(waitFor([](const PollResult& r) { return r.errorText.empty(); }));
    // No thread is left waiting on the line.
    const Clock::time_point stopping = Clock::now();
    EXPECT_EQ(scanner.Stop(), 0);
    EXPECT_TRUE(scanner.StopThreads());
    EXPECT_LT(Clock::now() - stopping, 1s);
}

}  // namespace
}  // namespace zep8
