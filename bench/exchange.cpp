// How close one exchange comes to the physical limit of the line: the
// request's and the reply's time on the wire plus the module's response delay.
// Runs against the virtual module with line timing on, at 9600 and 115200
// baud, with both kinds of converter, and once more with the bus monitor
// attached (its cost must not show).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "link/device_io.h"
#include "link/exchange_journal.h"
#include "link/serial_port.h"
#include "model/parameter.h"
#include "platform/recording_prompter.h"
#include "sim/pty_transport.h"
#include "sim/virtual_module.h"

namespace {

using namespace zep8;
using Clock = std::chrono::steady_clock;

struct Result {
    double measuredMs;
    double monitoredMs;  // the same exchanges with the bus monitor's journal attached
    double boundMs;
};

Result Measure(int baud, int directionMode, int exchanges) {
    sim::LineSettings line;
    line.baud = baud;
    sim::VirtualModule module(line);
    module.setLineTiming(true);
    sim::PtyTransport transport(module);
    std::string error;
    if (!transport.start(error)) {
        std::fprintf(stderr, "virtual module: %s\n", error.c_str());
        std::exit(1);
    }
    auto serial = std::make_unique<SerialPort>();
    serial->settings.name = transport.slavePath();
    serial->settings.baudRate = static_cast<unsigned>(baud);
    serial->directionMode = directionMode;
    RecordingPrompter prompter;
    DeviceIO io(std::move(serial), prompter);
    if (io.port().Open() != OPEN_OK) {
        std::fprintf(stderr, "cannot open %s\n", transport.slavePath().c_str());
        std::exit(1);
    }

    Parameter dev("dev");
    ExchangeJournal journal;
    // Blocks with and without the monitor alternate, so that a slow spell of
    // the machine falls on both alike.
    constexpr int kBlock = 20;
    Clock::duration plain{}, monitored{};
    for (int done = 0; done < exchanges; done += kBlock) {
        for (bool tapped : {false, true}) {
            if (tapped) io.AddTap(&journal);
            const auto start = Clock::now();
            for (int i = 0; i < kBlock; ++i) {
                if (io.TransferParameter(DIRECTION_READ, &dev) != STATUS_OK) {
                    std::fprintf(stderr, "exchange %d failed: %s\n", done + i,
                                 dev.errorText.c_str());
                    std::exit(1);
                }
            }
            (tapped ? monitored : plain) += Clock::now() - start;
            if (tapped) io.RemoveTap(&journal);
        }
    }
    const int blocks = (exchanges + kBlock - 1) / kBlock;
    const auto perExchange = [&](Clock::duration total) {
        return std::chrono::duration<double, std::milli>(total).count() / (blocks * kBlock);
    };
    // "dev" read: a 14-character request, a reply with five data bytes.
    const std::size_t characters = 14 + (14 + 2 * 5);
    const double bound =
        std::chrono::duration<double, std::milli>(line.wireTime(characters)).count() +
        line.responseDelayMs;
    transport.stop();
    return {perExchange(plain), perExchange(monitored), bound};
}

}  // namespace

int main(int argc, char** argv) {
    const int exchanges = argc > 1 ? std::atoi(argv[1]) : 200;
    std::printf("%-8s %-16s %12s %12s %8s %14s %9s\n", "baud", "converter", "measured ms",
                "bound ms", "ratio", "monitored ms", "monitor");
    for (int baud : {9600, 115200}) {
        for (int mode : {0, 1}) {
            const Result r = Measure(baud, mode, exchanges);
            std::printf("%-8d %-16s %12.3f %12.3f %8.3f %14.3f %+8.2f%%\n", baud,
                        mode == 0 ? "semi-automatic" : "automatic", r.measuredMs, r.boundMs,
                        r.measuredMs / r.boundMs, r.monitoredMs,
                        100.0 * (r.monitoredMs - r.measuredMs) / r.measuredMs);
        }
    }
    return 0;
}
