// Writes the whole configuration to 8 modules on one line at 115200 with line
// timing on, as one batch (identify, write, verify each) and as eight single
// writes the way an operator does them (program pointed at the module, write
// all, compare), and compares each with the line's lower bound: every frame's
// time on the wire plus the module's response delay per exchange.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/smoke.h"
#include "ops/fleet/batch_write.h"
#include "ops/device/device.h"
#include "platform/recording_prompter.h"
#include "sim/simulated_line.h"

namespace {

using namespace zep8;
using bench::CountingPort;
using bench::WaitingObserver;
using Clock = std::chrono::steady_clock;

class QuietBatch : public BatchObserver {
    void ModuleStarted(int, int, int) override {}
    void ModuleProgress(BatchStage, int, int) override {}
    void ModuleFinished(const BatchRow&) override {}
};

struct Figures {
    double measuredMs = 0;
    double boundMs = 0;
    int exchanges = 0;
};

Figures Since(Clock::time_point start, const CountingPort& port, std::size_t characters,
              int exchanges, const sim::LineSettings& line) {
    Figures f;
    f.measuredMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    f.exchanges = port.exchanges - exchanges;
    f.boundMs =
        std::chrono::duration<double, std::milli>(line.wireTime(port.characters - characters))
            .count() +
        f.exchanges * line.responseDelayMs;
    return f;
}

void Print(const char* what, const Figures& f) {
    std::printf("%-22s %10d %12.1f %12.1f %8.3f\n", what, f.exchanges, f.measuredMs, f.boundMs,
                f.measuredMs / f.boundMs);
}

}  // namespace

int main() {
    sim::LineSettings line;
    line.baud = 115200;
    // Two modules are enough to see that it still runs.
    const std::vector<int> addresses = bench::SmokeRun() ? std::vector<int>{0, 8}
                                                  : std::vector<int>{0, 8, 16, 24, 32, 40, 48, 56};
    sim::SimulatedLine simulated(line, addresses);
    for (int i = 0; i < simulated.size(); ++i) simulated.module(i).setLineTiming(true);
    std::string error;
    if (!simulated.start(error)) {
        std::fprintf(stderr, "virtual modules: %s\n", error.c_str());
        return 1;
    }
    auto port = std::make_unique<CountingPort>();
    CountingPort& counting = *port;
    RecordingPrompter prompter;
    WaitingObserver observer;
    Device device(std::move(port), prompter);
    device.SetObserver(&observer);
    device.SetFinishHold(std::chrono::milliseconds(0));
    line.address = addresses.front();
    bench::PointProgramAt(device, simulated.portPath(), line);
    device.Rebuild();
    device.ReadAll();  // the configuration: the first module's, every value known

    std::printf("%d modules, %d bit/s, line timing\n", simulated.size(), line.baud);
    std::printf("%-22s %10s %12s %12s %8s\n", "", "exchanges", "measured ms", "bound ms", "ratio");
    QuietBatch quiet;
    BatchWrite batch(device, quiet);
    std::size_t characters = counting.characters;
    int exchanges = counting.exchanges;
    auto start = Clock::now();
    const BatchResult result = batch.Run(addresses);
    const Figures batchFigures = Since(start, counting, characters, exchanges, line);
    int verified = 0;
    for (const BatchRow& row : result.rows) verified += row.verified() ? 1 : 0;

    // The same by hand: the program pointed at each module, write, compare.
    characters = counting.characters;
    exchanges = counting.exchanges;
    start = Clock::now();
    device.netWriteEnabled = false;  // as the batch: the network group stays each module's
    for (const int address : addresses) {
        device.programNet().SetValue("Addr", std::to_string(address), true);
        device.ReopenPort(false);
        device.WriteAll();
        device.CompareBeforeWrite(true);
    }
    const Figures singles = Since(start, counting, characters, exchanges, line);
    Print("batch", batchFigures);
    Print("eight single writes", singles);
    std::printf("written and verified: %d of %zu; batch / singles: %.3f\n", verified,
                addresses.size(), batchFigures.measuredMs / singles.measuredMs);
    simulated.stop();
    return 0;
}
