// "Read all" through a line that damages what it carries (bench/noisy_relay.h)
// between the program's serial port and the virtual module: how many
// read-alls still end clean at a bit-error rate of 1e-4 and 1e-3 and with
// bursts, what they cost in time against the clean line, and whether any
// value or attribute stored differs from the module's (there must be none).
//
//   build/bench/noisy_line_bench [READ_ALLS] [BAUD] [SEED]   (100, 9600, 1)
//
// With NOISY_VERBOSE=1 it names every parameter that failed and why.
//
// Targets: at 1e-4 at least 99 of 100 read-alls end with 0, at 1e-3 at
// least 90; 1e-4 takes at most 1.3 times the clean line; no wrong value at
// any rate. It exits with 1 when one is missed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/noisy_relay.h"
#include "bench/smoke.h"
#include "link/serial/serial_port.h"
#include "ops/device/device.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "sim/simulated_module.h"

namespace {

using namespace zep8;
using Clock = std::chrono::steady_clock;

struct Case {
    const char* name;
    bench::Noise noise;
};

struct Outcome {
    int clean = 0;       // read-alls with exit status 0 and every parameter read
    int failed = 0;      // parameters that failed, over all read-alls
    int wrong = 0;       // values or attributes stored that the module does not hold
    double seconds = 0;  // per read-all
};

// Values that differ from input to input, so that one input's reply taken
// for another's shows.
void MakeInputsDiffer(sim::VirtualModule& module) {
    for (int k = 0; k < sim::VirtualModule::kInputs; ++k) {
        module.setValue("in-t", k, 1 + k % 4);
        module.setValue("in.SH", k, 0.5 * k);
        module.setValue("in.SL", k, 1.0 + 0.01 * k);
        module.setValue("in.Fd", k, k % 3);
        module.setAttributes("in.SH", k, k % 2 ? 0x03 : 0x01);
        module.setAttributes("in-t", k, k % 3 ? 0x03 : 0x02);
    }
}

std::vector<Parameter*> Everything(Device& device) {
    std::vector<Parameter*> all;
    auto add = [&all](const ObjectWithParameters& node) {
        for (const auto& p : node.parameters()) all.push_back(p.get());
    };
    add(device.commonNode);
    add(device.netNode);
    add(device.channelsNode);
    for (int k = 0; k < kInputCount; ++k) add(device.channelsNode.channel(k));
    return all;
}

void ClearAll(Device& device) {
    device.commonNode.ClearValues();
    device.netNode.ClearValues();
    device.channelsNode.ClearValues();
    for (int k = 0; k < kInputCount; ++k) device.channelsNode.channel(k).ClearValues();
}

struct Snapshot {
    std::string value;
    bool editable, factory;
};

Outcome Run(Device& device, bench::NoisyRelay& relay, const Case& c, int readAlls,
            const std::vector<Snapshot>& truth) {
    relay.setNoise(c.noise);
    Outcome out;
    const auto start = Clock::now();
    for (int run = 0; run < readAlls; ++run) {
        ClearAll(device);
        processState().SetExitStatus(0);
        device.ReadAll();
        int failed = 0;
        const std::vector<Parameter*> all = Everything(device);
        for (std::size_t i = 0; i < all.size(); ++i) {
            const Parameter& p = *all[i];
            if (!p.errorText.empty()) {
                ++failed;
                if (std::getenv("NOISY_VERBOSE"))
                    std::printf("  failed: %s[%d]: %s\n", p.name.c_str(), p.index, p.errorText.c_str());
            }
            const bool stored = p.value != kNoData && !p.value.empty();
            const bool attributesTaken = p.hasAttributes && p.errorText.empty() && stored;
            if ((stored && p.value != truth[i].value) ||
                (attributesTaken && (p.attrEditable != truth[i].editable ||
                                     p.attrFactory != truth[i].factory))) {
                ++out.wrong;
                std::printf("  wrong: %s = '%s' (module: '%s')\n", p.name.c_str(),
                            p.value.c_str(), truth[i].value.c_str());
            }
        }
        out.failed += failed;
        if (std::getenv("NOISY_VERBOSE") && processState().ExitStatus() != 0)
            std::printf("  exit status %u: %s\n", processState().ExitStatus(),
                        device.LastFailure().c_str());
        if (failed == 0 && processState().ExitStatus() == 0) ++out.clean;
    }
    out.seconds = std::chrono::duration<double>(Clock::now() - start).count() / readAlls;
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = bench::SmokeRun();
    const int readAlls = smoke ? 1 : argc > 1 ? std::atoi(argv[1]) : 100;
    sim::LineSettings line;
    line.baud = smoke ? 115200 : argc > 2 ? std::atoi(argv[2]) : 9600;
    const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    if (readAlls <= 0 || line.baud <= 0) {
        std::fprintf(stderr, "usage: %s [READ_ALLS] [BAUD] [SEED]\n", argv[0]);
        return 2;
    }

    sim::SimulatedModule simulated(line);
    MakeInputsDiffer(simulated.module());
    std::string error;
    if (!simulated.start(error)) {
        std::fprintf(stderr, "virtual module: %s\n", error.c_str());
        return 1;
    }
    bench::NoisyRelay relay(simulated.portPath(), line.baud);
    if (!relay.start(error)) {
        std::fprintf(stderr, "relay: %s\n", error.c_str());
        return 1;
    }
    RecordingPrompter prompter;
    bench::WaitingObserver observer;
    Device device(std::make_unique<SerialPort>(), prompter);
    device.SetObserver(&observer);
    device.SetFinishHold(std::chrono::milliseconds(0));
    bench::PointProgramAt(device, relay.programPath(), line);
    device.Rebuild();

    // What the module holds, read over the clean line.
    ClearAll(device);
    device.ReadAll();
    std::vector<Snapshot> truth;
    for (const Parameter* p : Everything(device)) {
        if (!p->errorText.empty()) {
            std::fprintf(stderr, "the clean line failed %s: %s\n", p->name.c_str(),
                         p->errorText.c_str());
            return 1;
        }
        truth.push_back({p->value, p->attrEditable, p->attrFactory});
    }

    const Case cases[] = {
        {"clean", {0, 0, 24, seed}},
        {"BER 1e-4", {1e-4, 0, 24, seed}},
        {"BER 1e-3", {1e-3, 0, 24, seed}},
        {"1e-4+bursts", {1e-4, 1e-4, 24, seed}},
    };
    std::printf("%d read-alls per case at %d baud, seed %llu, %zu parameters each\n", readAlls,
                line.baud, static_cast<unsigned long long>(seed), truth.size());
    std::printf("%-12s %9s %8s %7s %12s %7s\n", "case", "ended 0", "failed", "wrong",
                "s/read-all", "time");
    bool met = true;
    double cleanSeconds = 0;
    for (const Case& c : cases) {
        const Outcome o = Run(device, relay, c, readAlls, truth);
        if (cleanSeconds == 0) cleanSeconds = o.seconds;
        const double ratio = o.seconds / cleanSeconds;
        std::printf("%-12s %5d/%-3d %8d %7d %12.2f %6.2fx\n", c.name, o.clean, readAlls, o.failed,
                    o.wrong, o.seconds, ratio);
        std::fflush(stdout);
        met = met && o.wrong == 0;
        if (c.noise.bitErrorRate == 1e-4 && c.noise.burstRate == 0) {
            met = met && o.clean * 100 >= 99 * readAlls && ratio <= 1.3;
        }
        if (c.noise.bitErrorRate == 1e-3) met = met && o.clean * 100 >= 90 * readAlls;
    }
    std::printf("bits flipped in all: %llu\n", static_cast<unsigned long long>(relay.flippedBits()));
    relay.stop();
    simulated.stop();
    if (smoke) return 0;
    std::printf(met ? "targets met\n" : "a target missed\n");
    return met ? 0 : 1;
}
