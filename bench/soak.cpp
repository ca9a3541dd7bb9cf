// A long run of the whole program with its window (offscreen) on the virtual
// module at 115200 baud with line timing: all eight inputs polled every 100 ms
// with logging on, "read all" every 10 s, "write changed" every 30 s, single
// reads in between. Prints at the start, once a minute and at the end: the
// resident memory, open descriptors, threads, failed exchanges and the
// exchanges done against what the line could carry.
//
//   soak [--minutes N]      (default 10)
//
// Targets: memory grows less than 1 MiB after the first minute, descriptors
// and threads stay flat, no exchange fails.
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/application.h"
#include "bench/bench_support.h"
#include "platform/memory_settings_store.h"
#include "platform/process_state.h"
#include "platform/prompter.h"
#include "sim/simulated_line.h"
#include "sim/simulated_module.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/window_session.h"
#include "ui/tree/config_tree_view.h"

namespace {

using namespace zep8;
using Clock = std::chrono::steady_clock;

// Counts what crosses the line and every transfer that brought no reply.
class SoakPort : public bench::CountingPort {
  public:
    int Transfer(std::string_view frame, std::string& reply) override {
        const int result = CountingPort::Transfer(frame, reply);
        if (result != TRANSFER_OK) ++failures;
        return result;
    }
    std::atomic<int> failures{0};
};

// Nobody sits at the window: every message is counted and the first few are
// printed; the answer is the safe one.
class SoakPrompter : public Prompter {
  public:
    Answer ask(std::string_view text, std::string_view caption, Buttons buttons, Icon) override {
        if (++messages <= 5) {
            std::fprintf(stderr, "message: %.*s: %.*s\n", static_cast<int>(caption.size()),
                         caption.data(), static_cast<int>(text.size()), text.data());
        }
        return SafeAnswer(buttons);
    }
    std::optional<std::string> enterText(std::string_view, std::string_view, bool) override {
        ++messages;
        return std::nullopt;
    }
    std::atomic<int> messages{0};
};

long StatusField(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(name);
    while (std::getline(status, line)) {
        if (line.compare(0, length, name) == 0) return std::atol(line.c_str() + length);
    }
    return -1;
}

long OpenDescriptors() {
    long n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++n;
    }
    return n - 1;  // the directory's own
}

// Poll results and failed ones in the table log, read on from where the last call stopped.
struct LogCount {
    std::string path;
    std::streamoff offset = 0;
    long results = 0;
    long failed = 0;
    void Update() {
        std::ifstream in(path, std::ios::binary);
        if (!in) return;
        in.seekg(offset);
        std::string line;
        while (std::getline(in, line)) {
            if (in.eof()) break;  // a line still being written
            offset = in.tellg();
            if (line.empty() || line.find(';') == std::string::npos || line.starts_with("time;"))
                continue;
            ++results;
            if (line.back() != ';') ++failed;
        }
    }
};

struct Soak {
    sim::LineSettings line;
    SoakPort* port = nullptr;
    SoakPrompter prompter;
    RunContext* run = nullptr;
    WindowSession* session = nullptr;
    LogCount log;
    Clock::time_point start = Clock::now();
    long rssAfterMinute = -1;
    long firstFds = 0, firstThreads = 0;
    bool busy = false;  // a job runs (its progress window's loop runs our timers too)
    int readAlls = 0, writeChanged = 0, singleReads = 0, failedParameters = 0;
    std::size_t nextSingle = 0;
    double longestReadAll = 0, longestWrite = 0;  // seconds
    int closedDialogs = 0;

    Device& device() { return session->document().device(); }

    std::vector<Parameter*> ChannelParameters() {
        std::vector<Parameter*> list;
        for (int i = 0; i < kInputCount; ++i) {
            for (const auto& p : device().channelsNode.channel(i).parameters()) {
                list.push_back(p.get());
            }
        }
        return list;
    }
    int CountErrors() {
        int n = 0;
        for (Parameter* p : ChannelParameters()) n += p->errorText.empty() ? 0 : 1;
        return n;
    }
    void RunCommand(int id) {
        busy = true;
        const auto t0 = Clock::now();
        session->frame().RunCommand(id);
        const double took = std::chrono::duration<double>(Clock::now() - t0).count();
        (id == ID_READ_ALL ? longestReadAll : longestWrite) =
            std::max(took, id == ID_READ_ALL ? longestReadAll : longestWrite);
        failedParameters += CountErrors();
        busy = false;
    }
    void ReadAll() {
        if (busy) return QTimer::singleShot(100, [this] { ReadAll(); });
        RunCommand(ID_READ_ALL);
        ++readAlls;
    }
    // Writes back one writable value of an input, as the operator's edit would.
    void WriteChanged() {
        if (busy) return QTimer::singleShot(100, [this] { WriteChanged(); });
        for (Parameter* p : ChannelParameters()) {
            if (p->writable && p->value != kNoData) {
                p->changed = true;
                break;
            }
        }
        RunCommand(ID_WRITE_CHANGED);
        ++writeChanged;
    }
    void SingleRead() {
        if (busy) return;
        const std::vector<Parameter*> list = ChannelParameters();
        if (list.empty()) return;
        Parameter* p = list[nextSingle++ % list.size()];
        busy = true;
        device().ReadOne(*p);
        failedParameters += p->errorText.empty() ? 0 : 1;
        busy = false;
        ++singleReads;
    }

    void Print(const char* when) {
        log.Update();
        const double minutes = std::chrono::duration<double>(Clock::now() - start).count() / 60;
        const long rss = StatusField("VmRSS:");
        const int exchanges = port->exchanges;
        const double busyLine =
            std::chrono::duration<double>(line.wireTime(port->characters)).count() +
            exchanges * line.responseDelayMs / 1000.0;
        const double seconds = minutes * 60;
        const sim::RequestCount module = run->simulated->module().total();
        std::printf(
            "%-5s %6.2f min  rss %ld KiB  fds %ld  threads %ld | exchanges %d (%.1f/s, line "
            "could carry %.1f/s, use %.1f %%) | failed: transfers %d, error replies %d, poll "
            "reads %ld of %ld, job parameters %d | jobs: read all %d, write changed %d, single "
            "reads %d (longest read all %.1f s, write %.1f s) | messages %d, dialogs %d\n",
            when, minutes, rss, OpenDescriptors(), StatusField("Threads:"), exchanges,
            exchanges / seconds, busyLine > 0 ? exchanges / busyLine : 0.0,
            100 * busyLine / seconds, port->failures.load(), module.errorReplies, log.failed,
            log.results, failedParameters, readAlls, writeChanged, singleReads, longestReadAll,
            longestWrite, prompter.messages.load(), closedDialogs);
        std::fflush(stdout);
    }
    // Nobody answers a dialog of the window: it is closed as "Отмена" would.
    // After a write, the apply dialog opens whenever the module's network
    // settings read differ from the program's.
    void CloseDialogs() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->inherits("zep8::CProgressDialog")) return;
        if (++closedDialogs <= 3) {
            std::printf("      dialog closed: %s\n", dialog->windowTitle().toUtf8().constData());
        }
        dialog->reject();
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    double minutes = 10;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--minutes") == 0 && i + 1 < argc) {
            minutes = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: soak [--minutes N]\n");
            return 2;
        }
    }
    QApplication app(argc, argv);
    char folder[] = "/tmp/zep8-soak-XXXXXX";
    if (!mkdtemp(folder)) return 1;

    Soak soak;
    soak.line.baud = 115200;
    MemorySettingsStore store;
    std::ostringstream out, err;
    RunEnvironment env{out, err, store, ""};
    RunContext run(ParseCommandLine({"--simulate", "/bps:115200"}), env);
    if (run.Prepare() != kRunGoesOn) {
        std::fprintf(stderr, "the run did not start: %s\n", err.str().c_str());
        return 1;
    }
    soak.run = &run;
    run.simulated->module().setLineTiming(true);
    soak.line = run.simulated->module().activeSettings();
    for (int i = 0; i < kInputCount; ++i) {
        run.simulated->module().setValue("in-t", i, 6);  // a sensor that measures
        run.simulated->module().setSource(i, sim::MeasurementSource::sine(50, 10, 3 + i));
    }
    auto port = std::make_unique<SoakPort>();
    soak.port = port.get();
    WindowSession session(run, soak.prompter, std::move(port));
    if (!session.Start()) {
        std::fprintf(stderr, "the window did not start: %s\n", err.str().c_str());
        return 1;
    }
    soak.session = &session;
    session.document().device().SetFinishHold(std::chrono::milliseconds(0));

    ChannelPolling& polling = session.frame().view().polling();
    session.document().device().channelsNode.logSwitch.value = std::string(folder) + "/poll.csv";
    soak.log.path = polling.LogPath();
    polling.ToggleLoggingRow(POLL_ICON_OFF);
    for (int i = 0; i < kInputCount; ++i) {
        polling.EditPeriod(i, "100");
        polling.TogglePollRow(i, POLL_ICON_OFF);
    }
    std::printf(
        "soak: %.0f min, virtual module at %d baud with line timing, window offscreen, "
        "poll log %s\n",
        minutes, soak.line.baud, soak.log.path.c_str());
    soak.Print("start");

    QTimer readAll, writeChanged, single, minute, dialogs;
    QObject::connect(&dialogs, &QTimer::timeout, [&] { soak.CloseDialogs(); });
    dialogs.start(500);
    QObject::connect(&readAll, &QTimer::timeout, [&] { soak.ReadAll(); });
    QObject::connect(&writeChanged, &QTimer::timeout, [&] { soak.WriteChanged(); });
    QObject::connect(&single, &QTimer::timeout, [&] { soak.SingleRead(); });
    long rssAtHalf = -1;
    int minutesDone = 0;
    QObject::connect(&minute, &QTimer::timeout, [&] {
        soak.Print("");
        if (soak.rssAfterMinute < 0) {
            soak.rssAfterMinute = StatusField("VmRSS:");
            soak.firstFds = OpenDescriptors();
            soak.firstThreads = StatusField("Threads:");
        }
        if (++minutesDone == static_cast<int>(minutes / 2)) rssAtHalf = StatusField("VmRSS:");
    });
    readAll.start(10000);
    writeChanged.start(30000);
    single.start(1000);
    minute.start(60000);
    // exit, not quit: quit asks the windows to close, and the main window may
    // refuse for a question nobody answers.
    QTimer::singleShot(static_cast<int>(minutes * 60000) + 500, [] { QApplication::exit(0); });
    QApplication::exec();
    soak.Print("end");

    const long rss = StatusField("VmRSS:");
    const long growth = soak.rssAfterMinute < 0 ? 0 : rss - soak.rssAfterMinute;
    const int failed = soak.port->failures + run.simulated->module().total().errorReplies +
                       static_cast<int>(soak.log.failed) + soak.failedParameters;
    const bool flat = soak.rssAfterMinute < 0 || (OpenDescriptors() == soak.firstFds &&
                                                  StatusField("Threads:") == soak.firstThreads);
    std::printf(
        "memory growth after the first minute %ld KiB (target < 1024); descriptors and "
        "threads %s; failed exchanges %d (target 0)\n",
        growth, flat ? "flat" : "CHANGED", failed);
    // What only fills up once (the exchange monitor's journal keeps the last
    // 20 000 exchanges, about 3.5 minutes here) is over by then; a leak is not.
    if (rssAtHalf >= 0) std::printf("memory growth in the second half %ld KiB\n", rss - rssAtHalf);
    for (int i = 0; i < kInputCount; ++i) polling.TogglePollRow(i, POLL_ICON_ON);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return growth < 1024 && flat && failed == 0 ? 0 : 1;
}
