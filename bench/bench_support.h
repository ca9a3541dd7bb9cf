#pragma once

// What the benchmarks share: a port that counts what crosses the line, and
// pointing the program's settings at a virtual module.
#include <atomic>
#include <string>

#include "link/exchange/device_io.h"
#include "link/serial/serial_port.h"
#include "ops/device/job_observer.h"
#include "platform/event.h"
#include "sim/line_settings.h"
#include "tests/support/program_line.h"

namespace zep8::bench {

// A job's end, waited for without a window.
class WaitingObserver : public JobObserver {
  public:
    void JobStarted(Job, std::string_view) override {}
    void CounterChanged(ProgressCounter, int) override {}
    void JobFinished() override { done_.set(); }
    void WaitForJob() override { done_.wait(); }

  private:
    Event done_{Event::Reset::Auto};
};

// A serial port that counts the characters and exchanges of every transfer.
class CountingPort : public LinePort {
  public:
    int Open() override {
        inner_.settings = settings;
        return inner_.Open();
    }
    int Close() override { return inner_.Close(); }
    bool IsOpen() const override { return inner_.IsOpen(); }
    int Transfer(std::string_view frame, std::string& reply) override {
        inner_.directionMode = directionMode.load();
        const int result = inner_.Transfer(frame, reply);
        characters += frame.size() + reply.size();
        ++exchanges;
        return result;
    }

    int Listen(std::string& reply) override {
        const int result = inner_.Listen(reply);
        characters += reply.size();
        return result;
    }
    void AwaitQuiet() override { inner_.AwaitQuiet(); }

    std::atomic<std::size_t> characters{0};
    std::atomic<int> exchanges{0};

  private:
    SerialPort inner_;
};

// The program's port settings for a module on `port` with `line`.
inline void PointProgramAt(DeviceIO& io, const std::string& port, const sim::LineSettings& line) {
    testing::PointProgramAt(io.programNet(), port, line);
    io.port().directionMode = 1;
}

}  // namespace zep8::bench
