#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/line/line_by_name.h"
#include "ops/device/device.h"
#include "platform/event.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "sim/simulated_line.h"
#include "support/program_line.h"

namespace zep8::testing {

// A progress display that waits for the job and remembers what it was shown.
class RecordingObserver : public JobObserver {
  public:
    void JobStarted(Job job, std::string_view caption) override {
        jobs.push_back(job);
        captions.emplace_back(caption);
        for (auto& c : counters) c = 0;
    }
    void CounterChanged(ProgressCounter counter, int value) override {
        counters[static_cast<int>(counter)] = value;
        if (onCounter) onCounter(counter, value);
    }
    void JobFinished() override { finished.set(); }
    void WaitForJob() override { finished.wait(Event::kInfinite); }

    int counter(ProgressCounter c) const { return counters[static_cast<int>(c)]; }

    std::vector<Job> jobs;
    std::vector<std::string> captions;
    std::array<std::atomic<int>, 4> counters{};
    std::function<void(ProgressCounter, int)> onCounter;
    Event finished{Event::Reset::Auto};
};

class RecordingHost : public SessionHost {
  public:
    void NetworkSettingsChanged() override { ++networkChanges; }
    void SaveAfterRead() override { ++saves; }
    std::atomic<int> networkChanges{0};
    std::atomic<int> saves{0};
};

inline sim::LineSettings FastLine() {
    sim::LineSettings line;
    line.baud = 115200;
    return line;
}

// A device session on a virtual module, with the program's settings pointed
// at it and its groups built. The module's line is the system's own kind: a
// pseudo-terminal, or on Windows the line inside the program.
class DeviceOnPty : public ::testing::Test {
  protected:
    explicit DeviceOnPty(sim::LineSettings line = FastLine())
        : simulated(line, std::span<const int>(&line.address, 1)) {}

    void SetUp() override {
        processState().reset();
        std::string error;
        ASSERT_TRUE(simulated.start(error)) << error;
        device = std::make_unique<Device>(std::make_unique<LineByName>(), prompter);
        device->SetObserver(&observer);
        device->SetHost(&host);
        device->SetFinishHold(std::chrono::milliseconds(0));
        device->SetPassword("902417");
        PointProgramAt(simulated.module().activeSettings());
        device->Rebuild();
        ASSERT_TRUE(device->port().IsOpen()) << device->port().OpenFailureReason();
    }
    void TearDown() override {
        device.reset();
        simulated.stop();
        processState().reset();
    }

    void PointProgramAt(const sim::LineSettings& line) {
        testing::PointProgramAt(device->programNet(), simulated.portPath(), line);
    }

    sim::VirtualModule& module() { return simulated.module(); }

    sim::SimulatedLine simulated;
    RecordingPrompter prompter;
    RecordingObserver observer;
    RecordingHost host;
    std::unique_ptr<Device> device;
};

}  // namespace zep8::testing
