// One exchange through a serial port by name, against the wire's limit: the
// figure the Windows build gives under Wine beside Linux's, on the same
// virtual module. The module runs on Linux with line timing, on a
// pseudo-terminal; Wine maps it as a COM port:
//   zep8-sim --baud 9600 --address 16 --timing      (prints /dev/pts/N)
//   ln -sf /dev/pts/N $WINEPREFIX/dosdevices/com5
//   wine com_exchange_bench.exe COM5 9600 16 200
//   com_exchange_bench /dev/pts/N 9600 16 200        (the Linux figure)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "link/exchange/device_io.h"
#include "link/line/line_by_name.h"
#include "model/parameter.h"
#include "platform/recording_prompter.h"
#include "sim/line_settings.h"

int main(int argc, char** argv) {
    using namespace zep8;
    using Clock = std::chrono::steady_clock;
    if (argc < 4) {
        std::fprintf(stderr, "usage: com_exchange_bench PORT BAUD ADDRESS [EXCHANGES]\n");
        return 2;
    }
    const int baud = std::atoi(argv[2]);
    const int exchanges = argc > 4 ? std::atoi(argv[4]) : 200;
    auto port = std::make_unique<LineByName>();
    port->settings.name = argv[1];
    port->settings.baudRate = static_cast<unsigned>(baud);
    port->settings.baseAddress = std::atoi(argv[3]);
    RecordingPrompter prompter;
    DeviceIO io(std::move(port), prompter);
    if (io.port().Open() != OPEN_OK) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1], io.port().OpenFailureReason().c_str());
        return 1;
    }
    Parameter dev("dev");
    const auto start = Clock::now();
    for (int i = 0; i < exchanges; ++i) {
        if (io.TransferParameter(DIRECTION_READ, &dev) != STATUS_OK) {
            std::fprintf(stderr, "exchange %d failed: %s\n", i, dev.errorText.c_str());
            return 1;
        }
    }
    const double measured =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count() / exchanges;
    // "dev" read: a 14-character request, a reply with five data bytes.
    sim::LineSettings line;
    line.baud = baud;
    const double bound =
        std::chrono::duration<double, std::milli>(line.wireTime(14 + 14 + 2 * 5)).count() +
        line.responseDelayMs;
    std::printf("%-8d %-12s %12.3f %12.3f %8.3f\n", baud, argv[1], measured, bound,
                measured / bound);
    io.port().Close();
    return 0;
}
