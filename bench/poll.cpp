// Polls all eight inputs of the virtual module at 100 ms with line timing on
// at 9600 baud, more than the line can carry, and compares the reads per
// second with the line's limit: every frame's time on the wire plus the
// module's response delay per exchange. Also prints the process's CPU time
// per read (the virtual module runs in this process and is counted too).
#include <time.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "bench/bench_support.h"
#include "link/serial/serial_port.h"
#include "ops/device/device.h"
#include "ops/polling/channel_polling.h"
#include "platform/recording_prompter.h"
#include "sim/simulated_module.h"

namespace {

using namespace zep8;
using bench::CountingPort;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    sim::LineSettings line;
    line.baud = 9600;
    sim::SimulatedModule simulated(line);
    simulated.module().setLineTiming(true);
    for (int i = 0; i < kInputCount; ++i) {
        simulated.module().setSource(i, sim::MeasurementSource::sine(50, 10, 3));
    }
    std::string error;
    if (!simulated.start(error)) {
        std::fprintf(stderr, "virtual module: %s\n", error.c_str());
        return 1;
    }
    auto port = std::make_unique<CountingPort>();
    CountingPort& counting = *port;
    RecordingPrompter prompter;
    auto device = std::make_unique<Device>(std::move(port), prompter);
    bench::PointProgramAt(*device, simulated.portPath(), line);
    device->Rebuild();

    ChannelPolling polling(*device);
    std::atomic<long> results{0}, failures{0};
    std::array<std::atomic<long>, kInputCount> perInput{};
    polling.SetResultSink([&](PollResult&& r) {
        ++results;
        ++perInput[static_cast<std::size_t>(r.inputIndex)];
        if (!r.errorText.empty()) ++failures;
    });
    for (int i = 0; i < kInputCount; ++i) {
        polling.scanner(i)->SetPeriod(100);
        polling.TogglePollRow(i, POLL_ICON_OFF);
    }
    // Let the link fill up before measuring.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const std::size_t chars0 = counting.characters;
    const int exchanges0 = counting.exchanges;
    const long results0 = results;
    std::array<long, kInputCount> perInput0{};
    for (int i = 0; i < kInputCount; ++i) perInput0[i] = perInput[i];
    const double cpu0 = CpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds() - cpu0;
    const long reads = results - results0;
    long fewest = reads, most = 0;
    for (int i = 0; i < kInputCount; ++i) {
        fewest = std::min(fewest, perInput[i] - perInput0[i]);
        most = std::max(most, perInput[i] - perInput0[i]);
    }
    const int exchanges = counting.exchanges - exchanges0;
    const std::size_t characters = counting.characters - chars0;
    const double busy = std::chrono::duration<double>(line.wireTime(characters)).count() +
                        exchanges * line.responseDelayMs / 1000.0;
    device.reset();
    simulated.stop();

    const double wanted = kInputCount * 1000.0 / 100;
    const double perSecond = reads / elapsed;
    const double limit = exchanges / busy;
    std::printf("baud %d, %d inputs at 100 ms: %.0f reads/s wanted\n", line.baud, kInputCount,
                wanted);
    std::printf("reads %ld (failed %ld) in %.2f s: %.2f reads/s\n", reads, failures.load(), elapsed,
                perSecond);
    std::printf("line limit %.2f reads/s (%.1f characters and %d ms delay per exchange)\n", limit,
                static_cast<double>(characters) / exchanges, line.responseDelayMs);
    std::printf("reads per input: fewest %ld, most %ld, fairness %.2f (target 0.9)\n", fewest, most,
                most > 0 ? static_cast<double>(fewest) / static_cast<double>(most) : 0.0);
    std::printf("ratio %.3f (target 0.9)\n", perSecond / limit);
    std::printf("CPU %.3f ms per read (%.1f %% of one core)\n", cpu * 1000 / reads,
                cpu * 100 / elapsed);
    return 0;
}
