// How close one exchange comes to the physical limit of the line: the
// request's and the reply's time on the wire plus the module's response delay.
// Runs against the virtual module with line timing on, at 9600 and 115200
// baud, with both kinds of converter, and once more with the bus monitor
// attached (its cost must not show). With ser2net installed, also through it
// on the loopback, raw (tcp://), with RFC 2217 (rfc2217://) and with RFC 2217
// under TLS (rfc2217+tls://, a certificate made with openssl), with the time
// the line takes to open (the TCP connect, the TLS handshake, the settings).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/smoke.h"
#include "link/exchange/device_io.h"
#include "link/exchange/exchange_journal.h"
#include "link/line/line_by_name.h"
#include "link/remote/remote_connection.h"
#include "link/remote/tls_settings.h"
#include "model/parameter.h"
#include "platform/recording_prompter.h"
#include "sim/pty_transport.h"
#include "sim/virtual_module.h"
#include "support/ser2net_server.h"

namespace {

using namespace zep8;
using Clock = std::chrono::steady_clock;


struct Result {
    double measuredMs;
    double monitoredMs;  // the same exchanges with the bus monitor's journal attached
    double boundMs;
    double roundTripMs = 0;
    double openMs = 0;
};

// A folder removed with everything in it when the program ends.
struct ScratchFolder {
    std::filesystem::path dir;
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

// A key and a self-signed certificate for ser2net's TLS layer, made once.
std::string TlsLayer() {
    static const ScratchFolder folder{std::filesystem::temp_directory_path() /
                                      ("zep8-bench-tls-" + std::to_string(getpid()))};
    static const std::string layer = [] {
        const std::filesystem::path& dir = folder.dir;
        std::filesystem::create_directories(dir);
        const std::string key = (dir / "server.key").string(), cert = (dir / "server.pem").string();
        const std::string command =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
            "-keyout '" + key + "' -out '" + cert +
            "' -subj /CN=localhost -addext subjectAltName=IP:127.0.0.1 > /dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return std::string();
        SetTlsSettingsProvider([cert](const std::string&) { return TlsSettings{cert, "", "", ""}; });
        return "key=" + key + ",cert=" + cert;
    }();
    return layer;
}

// `scheme` empty: the pseudo-terminal itself; "tcp", "rfc2217" or
// "rfc2217+tls": through ser2net.
Result Measure(int baud, int directionMode, int exchanges, const std::string& scheme = "") {
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
    testing::Ser2net server;
    auto serial = std::make_unique<LineByName>();
    serial->settings.name =
        scheme.empty()
            ? transport.slavePath()
            : server.Start(transport.slavePath(), scheme == "tcp" ? "raw" : "rfc2217",
                           std::to_string(baud) + "n81",
                           scheme == "rfc2217+tls" ? TlsLayer() : std::string());
    serial->settings.baudRate = static_cast<unsigned>(baud);
    serial->directionMode = directionMode;
    RecordingPrompter prompter;
    DeviceIO io(std::move(serial), prompter);
    const auto opening = Clock::now();
    const int opened = io.port().Open();
    const double openMs = std::chrono::duration<double, std::milli>(Clock::now() - opening).count();
    if (opened != OPEN_OK) {
        std::fprintf(stderr, "cannot open %s: %s\n", io.port().settings.name.c_str(),
                     io.port().OpenFailureReason().c_str());
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
    const double roundTrip =
        std::chrono::duration<double, std::milli>(io.port().RoundTrip()).count();
    io.port().Close();
    RemoteConnections::ReleaseAll();  // the next server is another one
    server.Stop();
    transport.stop();
    return {perExchange(plain), perExchange(monitored), bound, roundTrip, openMs};
}

}  // namespace

int main(int argc, char** argv) {
    const int exchanges = argc > 1 ? std::atoi(argv[1]) : 200;
    const bool remote = testing::Ser2net::Available();
    std::printf("%-8s %-16s %12s %12s %8s %14s %9s %14s %8s\n", "baud", "line", "measured ms",
                "bound ms", "ratio", "monitored ms", "monitor", "round trip ms", "open ms");
    for (int baud : {9600, 115200}) {
        if (baud == 9600 && bench::SmokeRun()) continue;  // the slow one proves nothing more
        for (const char* line : {"semi-automatic", "automatic", "tcp", "rfc2217", "rfc2217+tls"}) {
            const std::string kind = line;
            const bool local = kind == "semi-automatic" || kind == "automatic";
            if (!local && !remote) continue;
            if (kind == "rfc2217+tls" && TlsLayer().empty()) continue;
            const Result r =
                Measure(baud, kind == "semi-automatic" ? 0 : 1, exchanges, local ? "" : kind);
            std::printf("%-8d %-16s %12.3f %12.3f %8.3f %14.3f %+8.2f%% %14.3f %8.2f\n", baud,
                        local ? line : (kind + "://").c_str(), r.measuredMs, r.boundMs,
                        r.measuredMs / r.boundMs, r.monitoredMs,
                        100.0 * (r.monitoredMs - r.measuredMs) / r.measuredMs, r.roundTripMs,
                        r.openMs);
        }
    }
    return 0;
}
