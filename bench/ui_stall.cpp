// How long the window stops answering while the operator's commands run: the
// real main window (offscreen) on the virtual module or on a silent line, a
// 1 ms timer on the window thread, and per scenario the longest gap between
// two of its ticks (the longest time the window processed no event).
//
//   ui_stall [--only TEXT]     (only the scenarios whose name contains TEXT)
//
// A scenario ends when its effect is seen (the group's rows filled or failed,
// the job ended, the message shown, the viewer started), not when its command
// returns, so the same program measures blocking and asynchronous windows.
// Target: at most 50 ms in every row.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/smoke.h"
#include "bench/ui_stall_harness.h"
#include "support/hostile_peer.h"
#include "support/loopback_socket.h"

namespace {

using namespace zep8;
using namespace zep8::stall;

// The scenarios' rows.
constexpr const char* kGroupSilent = "group silent 2400";
constexpr const char* kGroupModule = "group module 2400";
constexpr const char* kCheckLink = "check link silent";
constexpr const char* kHelp = "F1, viewer sleeps 5 s";
constexpr const char* kReadAll = "read all 9600";
constexpr const char* kPolls = "8 polls 100 ms + plot";
constexpr const char* kOpenSave = "open + save .zep";
constexpr const char* kSinglePoint = "single point silent 2400";
constexpr const char* kCalibration = "calibration silent 2400";
constexpr const char* kApply = "apply silent 2400";
constexpr const char* kPollsGone = "8 polls, server gone";
constexpr const char* kPollsHostile = "8 polls, server floods";


// Opens "Вход №1" with auto-read on: the group's rows all filled or failed,
// or, once an exchange gave up, the read over (no wait cursor) with the
// failure shown.
Result OpenGroup(GapMeter& meter, Window& w, const char* name, Clock::duration limit) {
    InvisibleElement& input = w.device().channelsNode.channel(0);
    w.frame().SetAutoRead(false);
    OpenRowsAbove(w.frame(), input);
    w.frame().SetAutoRead(true);
    const std::size_t seen = w.prompter.count();
    Result r = Measure(
        meter, name, [&] { OpenGroupRow(w.frame(), input); },
        [&] { return GroupSettled(input) || (!WaitCursorShown() && GroupFailures(input) > 0); },
        limit);
    r.note = std::to_string(GroupFailures(input)) + " ошибок в группе, сообщений " +
             std::to_string(w.prompter.count() - seen);
    return r;
}

// A dialog of the menu command `id`: `act` runs on it once it is open (as the
// operator would); once `done` holds it is closed, if `act` has not closed it.
Result InDialog(GapMeter& meter, const char* name, Window& w, int id,
                const std::function<void(QDialog&)>& act, const std::function<bool()>& done) {
    bool acted = false;
    return Measure(
        meter, name,
        [&] {
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, [&] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (!acted && dialog) {
                    acted = true;
                    act(*dialog);
                } else if (acted && dialog && done()) {
                    dialog->reject();
                }
            });
            watch.start(5);
            Command(w.frame(), id);
        },
        [&] { return acted && done(); }, 40s);
}

// "Выполнить!" of the single-parameter dialog: reads "VER"; its error listed.
Result SinglePointRead(GapMeter& meter, Window& w) {
    QPointer<QListWidget> trace;
    bool failed = false;
    Result r = InDialog(
        meter, kSinglePoint, w, ID_SINGLE_POINT,
        [&](QDialog& d) {
            trace = d.findChild<QListWidget*>("traceList");
            d.findChild<QPushButton*>("executeButton")->click();
        },
        [&] {
            failed =
                failed ||
                (trace && !trace->findItems("Имеет место ошибка:", Qt::MatchExactly).isEmpty());
            return failed;
        });
    r.note = failed ? "ошибка в протоколе" : "ошибки в протоколе нет";
    return r;
}

// The calibration wizard's first type with sensors reads the input's sensor.
Result CalibrationRead(GapMeter& meter, Window& w) {
    const std::size_t seen = w.prompter.count();
    Result r = InDialog(
        meter, kCalibration, w, ID_CALIBRATION,
        [](QDialog& d) { d.findChild<QComboBox*>("typeList")->setCurrentIndex(1); },
        [&] { return w.prompter.count() > seen; });
    if (w.prompter.count() > seen) r.note = "\"" + w.prompter.messages().back().caption + "\"";
    return r;
}

// OK in "Изменение сетевых параметров прибора": "APLY", the port anew, "dev".
Result Apply(GapMeter& meter, Window& w) {
    const std::size_t seen = w.prompter.count();
    Result r = InDialog(
        meter, kApply, w, ID_APPLY_NETWORK,
        [](QDialog& d) { d.findChild<QPushButton*>("okButton")->click(); },
        [&] { return w.prompter.count() > seen; });
    if (w.prompter.count() > seen) r.note = "\"" + w.prompter.messages().back().caption + "\"";
    return r;
}

// The link check, then opening "Вход №1", on a line where nothing answers (a
// pseudo-terminal with nobody on the other side).
void SilentLine(GapMeter& meter, const Scene& scene, Results& results,
                const std::function<bool(const std::string&)>& wanted) {
    int master = -1, slave = -1;
    char name[256];
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    close(slave);
    {
        Window w(scene.program.string());
        // "silent": no link check at start; the port opens when needed.
        if (!w.Start({std::string("--port=") + name, "/bps:2400", "/silent"})) {
            std::fprintf(stderr, "the window did not start: %s\n", w.err.str().c_str());
            close(master);
            return;
        }
        if (wanted(kCheckLink)) {
            const std::size_t seen = w.prompter.count();
            Result r = Measure(
                meter, kCheckLink, [&] { Command(w.frame(), ID_CHECK_LINK); },
                [&] { return w.prompter.count() > seen; }, 30s);
            if (w.prompter.count() > seen)
                r.note = "\"" + w.prompter.messages().back().caption + "\"";
            results.push_back(r);
        }
        if (wanted(kGroupSilent)) results.push_back(OpenGroup(meter, w, kGroupSilent, 40s));
        if (wanted(kSinglePoint)) results.push_back(SinglePointRead(meter, w));
        if (wanted(kCalibration)) results.push_back(CalibrationRead(meter, w));
        // Last: it changes the program's settings.
        if (wanted(kApply)) results.push_back(Apply(meter, w));
    }
    close(master);
}

// Opening "Вход №1" on a module that answers at the pace of a 2400 baud line.
void SlowModule(GapMeter& meter, const Scene& scene, Results& results) {
    Window w(scene.program.string());
    if (!w.Start({"--simulate", "/bps:2400"})) {
        std::fprintf(stderr, "the window did not start: %s\n", w.err.str().c_str());
        return;
    }
    w.module().setLineTiming(true);
    results.push_back(OpenGroup(meter, w, kGroupModule, 30s));
}

Result ReadAll(GapMeter& meter, Window& w) {
    bool ran = false;
    Result r = Measure(
        meter, kReadAll,
        [&] {
            ran = true;
            Command(w.frame(), ID_READ_ALL);
        },
        [&] { return ran && !JobShown(w.frame()) && GroupSettled(w.device().commonNode); }, 60s);
    int failures = GroupFailures(w.device().commonNode) + GroupFailures(w.device().netNode);
    for (int i = 0; i < kInputCount; ++i)
        failures += GroupFailures(w.device().channelsNode.channel(i));
    r.note = std::to_string(failures) + " ошибок";
    return r;
}

// Ticks eight inputs' polls every 100 ms, lets them run three seconds, then
// unticks them: the scenario ends once every row is off.
Result EightPolls(GapMeter& meter, const char* name, Window& w, Clock::duration limit) {
    Clock::time_point started;
    bool stopping = false;
    return Measure(
        meter, name,
        [&] {
            for (int i = 0; i < kInputCount; ++i) StartPoll(w.frame(), i, 100);
            started = Clock::now();
        },
        [&] {
            if (!stopping && Clock::now() - started >= 3s) {
                for (int i = 0; i < kInputCount; ++i) StopPoll(w.frame(), i);
                stopping = true;
            }
            if (!stopping) return false;
            for (int i = 0; i < kInputCount; ++i) {
                if (PollTicked(w.frame(), i)) return false;
            }
            return true;
        },
        limit);
}

// Eight inputs every 100 ms with the plot open, for three seconds, then stopped.
Result Polls(GapMeter& meter, Window& w) {
    for (int i = 0; i < kInputCount; ++i) w.module().setValue("in-t", i, 6);  // a sensor each
    Command(w.frame(), ID_TREND_PLOT);
    RunFor(200ms);
    Result r = EightPolls(meter, kPolls, w, 20s);
    int samples = 0;
    for (int i = 0; i < kInputCount; ++i) samples += w.frame().plot().SampleCount(i);
    r.note = std::to_string(samples) + " точек на графике";
    return r;
}

Result Help(GapMeter& meter, Window& w, const Scene& scene) {
    fs::remove(scene.viewerStarted);
    Result r = Measure(
        meter, kHelp, [&] { Command(w.frame(), ID_HELP); },
        [&] { return fs::exists(scene.viewerStarted); }, 20s);
    if (!fs::exists(scene.viewerStarted)) r.note = "просмотрщик не запущен";
    return r;
}

Result OpenAndSave(GapMeter& meter, Window& w, const Scene& scene) {
    // The file to open: what was read, saved beforehand.
    if (const auto error = w.document().SaveDocument(scene.zep.string())) {
        Result r;
        r.name = kOpenSave;
        r.note = *error;
        return r;
    }
    w.document().NewDocument();
    RunFor(100ms);
    const auto before = fs::last_write_time(scene.zep);
    bool opened = false;
    Result r = Measure(
        meter, kOpenSave,
        [&] {
            opened = w.frame().OpenFile(QString::fromStdString(scene.zep.string()));
            Command(w.frame(), ID_FILE_SAVE);
        },
        [&] {
            return w.document().path() == scene.zep.string() && !w.document().modified() &&
                   fs::last_write_time(scene.zep) != before;
        },
        20s);
    if (!opened) r.note = "файл не открылся";
    return r;
}

// Eight inputs every 100 ms for three seconds on a remote line whose server
// is not there (or floods the line), then stopped.
Result RemotePolls(GapMeter& meter, const char* name, const std::string& port, const Scene& scene) {
    Window w(scene.program.string());
    if (!w.Start({"--port=" + port, "/silent"})) {
        Result r;
        r.name = name;
        r.note = "окно не открылось";
        return r;
    }
    Result r = EightPolls(meter, name, w, 30s);
    r.note = "сообщений " + std::to_string(w.prompter.count());
    return r;
}

// A server that has gone from the network: its connections are neither taken
// nor refused (a listener whose queue is full drops the callers' SYNs), so
// every connect waits out its time-out.
class GoneServer {
  public:
    GoneServer() {
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(static_cast<unsigned short>(listener_.port()));
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int& s : queue_) {
            s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at);
        }
        RunFor(200ms);
    }
    ~GoneServer() {
        for (int s : queue_) close(s);
    }
    std::string Where() const { return listener_.Where(); }

  private:
    testing::LoopbackListener listener_{0, 0};
    int queue_[3] = {-1, -1, -1};
};

void RemoteLines(GapMeter& meter, const Scene& scene, Results& results,
                 const std::function<bool(const std::string&)>& wanted) {
    if (wanted(kPollsGone)) {
        GoneServer gone;
        results.push_back(RemotePolls(meter, kPollsGone, "tcp://" + gone.Where(), scene));
    }
    if (wanted(kPollsHostile)) {
        testing::HostilePeer peer(testing::HostilePeer::Act::Flood);
        results.push_back(
            RemotePolls(meter, kPollsHostile, "tcp://" + peer.listener.Where(), scene));
    }
}

// Read all, polls, F1, open and save on a module at 9600 with line timing.
void Module9600(GapMeter& meter, const Scene& scene, Results& results,
                const std::function<bool(const std::string&)>& wanted) {
    Window w(scene.program.string());
    if (!w.Start({"--simulate", "/bps:9600"})) {
        std::fprintf(stderr, "the window did not start: %s\n", w.err.str().c_str());
        return;
    }
    w.module().setLineTiming(true);
    if (wanted(kReadAll)) results.push_back(ReadAll(meter, w));
    if (wanted(kPolls)) results.push_back(Polls(meter, w));
    if (wanted(kHelp)) results.push_back(Help(meter, w, scene));
    if (wanted(kOpenSave)) results.push_back(OpenAndSave(meter, w, scene));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else {
            std::fprintf(stderr, "usage: ui_stall [--only TEXT]\n");
            return 2;
        }
    }
    Scene scene;
    if (!scene.Prepare()) return 1;
    QApplication app(argc, argv);
    GapMeter meter;
    Results results;
    auto wanted = [&only](const std::string& name) { return name.find(only) != std::string::npos; };
    const Clock::time_point start = Clock::now();
    if (wanted(kGroupSilent) || wanted(kCheckLink) || wanted(kSinglePoint) ||
        wanted(kCalibration) || wanted(kApply)) {
        SilentLine(meter, scene, results, wanted);
    }
    if (wanted(kGroupModule)) SlowModule(meter, scene, results);
    if (wanted(kReadAll) || wanted(kPolls) || wanted(kHelp) || wanted(kOpenSave)) {
        Module9600(meter, scene, results, wanted);
    }
    RemoteLines(meter, scene, results, wanted);

    std::printf("%-24s %12s %12s  %s\n", "scenario", "longest gap", "took", "");
    bool met = true;
    for (const Result& r : results) {
        std::printf("%-24s %9.0f ms %9.0f ms  %s%s\n", r.name.c_str(), r.gapMs, r.tookMs,
                    r.ended ? "" : "(time limit) ", r.note.c_str());
        met = met && r.ended && r.gapMs <= 50;
    }
    std::printf("target: at most 50 ms in every row: %s (whole run %.0f s)\n",
                met ? "met" : "not met", Ms(Clock::now() - start) / 1000);
    fs::remove_all(scene.dir);
    return met || zep8::bench::SmokeRun() ? 0 : 1;
}
