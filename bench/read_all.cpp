// Reads every parameter from the virtual module with line timing on and
// compares the time with the line's lower bound: every frame's time on the
// wire plus the module's response delay per exchange. The 2-second hold of a
// finished job is left out.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/bench_support.h"
#include "bench/smoke.h"
#include "link/serial/serial_port.h"
#include "ops/device/device.h"
#include "platform/recording_prompter.h"
#include "sim/simulated_module.h"

namespace {

using namespace zep8;
using bench::CountingPort;
using bench::WaitingObserver;
using Clock = std::chrono::steady_clock;

void Measure(int baud) {
    sim::LineSettings line;
    line.baud = baud;
    sim::SimulatedModule simulated(line);
    simulated.module().setLineTiming(true);
    std::string error;
    if (!simulated.start(error)) {
        std::fprintf(stderr, "virtual module: %s\n", error.c_str());
        std::exit(1);
    }
    auto port = std::make_unique<CountingPort>();
    CountingPort& counting = *port;
    RecordingPrompter prompter;
    WaitingObserver observer;
    Device device(std::move(port), prompter);
    device.SetObserver(&observer);
    device.SetFinishHold(std::chrono::milliseconds(0));
    bench::PointProgramAt(device, simulated.portPath(), line);
    device.Rebuild();

    const auto start = Clock::now();
    device.ReadAll();
    const double measured = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const double bound =
        std::chrono::duration<double, std::milli>(line.wireTime(counting.characters)).count() +
        counting.exchanges * line.responseDelayMs;
    std::printf("%-8d %10d %12.1f %12.1f %8.3f\n", baud, counting.exchanges.load(), measured, bound,
                measured / bound);
    simulated.stop();
}

}  // namespace

int main() {
    std::printf("%-8s %10s %12s %12s %8s\n", "baud", "exchanges", "measured ms", "bound ms",
                "ratio");
    for (int baud : {9600, 115200}) {
        if (baud == 9600 && bench::SmokeRun()) continue;  // the slow one proves nothing more
        Measure(baud);
    }
    return 0;
}
