// zep8-sim: virtual ZEP8 modules on one pseudo-terminal, until Ctrl+C.

#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_options.h"
#include "sim/pty_transport.h"
#include "sim/simulated_line.h"

int main(int argc, char** argv) {
    using namespace zep8::sim;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const ParsedOptions parsed = ParseSimOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "zep8-sim: %s\n\n%.*s", parsed.error.c_str(),
                     static_cast<int>(SimUsage().size()), SimUsage().data());
        return 2;
    }
    const SimOptions& options = *parsed.options;
    if (options.help) {
        std::printf("%.*s", static_cast<int>(SimUsage().size()), SimUsage().data());
        return 0;
    }

    // Signals are taken by sigwait below, not by a handler, so every thread
    // started from here on must have them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimulatedLine simulated(options.settings, options.addresses);
    simulated.transport().setLineCheck(options.lineCheck);
    simulated.transport().setEcho(options.echo);
    for (int m = 0; m < simulated.size(); ++m) {
        VirtualModule& module = simulated.module(m);
        module.setLineTiming(options.lineTiming);
        module.setIgnoreBroadcast(options.ignoreBroadcast);
        if (!options.sineSources) continue;
        for (int i = 0; i < VirtualModule::kInputs; ++i)
            module.setSource(i, MeasurementSource::sine(20.0 + 10 * i, 5, 60));
    }
    PtyTransport& transport = simulated.transport();
    std::string error;
    if (!transport.open(error) ||
        (!options.linkPath.empty() && !transport.createLink(options.linkPath, error)) ||
        !transport.start(error)) {
        std::fprintf(stderr, "zep8-sim: %s\n", error.c_str());
        return 1;
    }

    const LineSettings& s = options.settings;
    std::printf("%s\n", transport.slavePath().c_str());
    std::fflush(stdout);
    std::string addresses;
    for (const int a : options.addresses)
        addresses += (addresses.empty() ? "" : ", ") + std::to_string(a);
    std::fprintf(stderr, "zep8-sim: %d baud, %d%c%d, %d-bit address %s, %.*s%s\n", s.baud,
                 s.dataBits, "NEO"[static_cast<int>(s.parity)], s.stopBits, s.addressBits,
                 addresses.c_str(), static_cast<int>(ProtocolName(s.protocol).size()),
                 ProtocolName(s.protocol).data(), options.lineTiming ? ", line timing" : "");
    if (options.lineCheck) {
        std::fprintf(stderr, "zep8-sim: requests at another speed go unanswered\n");
    }

    int signal = 0;
    sigwait(&stopSignals, &signal);
    transport.close();
    return 0;
}
