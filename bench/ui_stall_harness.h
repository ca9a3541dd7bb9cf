#pragma once

// The harness of ui_stall: the real main window in this process, a 1 ms timer
// on its thread that measures the longest gap between two ticks, and the
// few places that reach into the window's tree and commands.
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
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include "app/application.h"
#include "platform/memory_settings_store.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "sim/simulated_line.h"
#include "sim/simulated_module.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/window_session.h"
#include "ui/plot/trend_plot.h"
#include "ui/tree/config_tree_view.h"

namespace zep8::stall {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;


// ---------------------------------------------------------------------------
// What reaches into the window's tree and commands. When the window changes,
// these are the places to port; the rest only runs the event loop and looks
// at the document.

// Opens the group's row as a click on its arrow would (the row's parents are open).
inline void OpenGroupRow(CMainFrame& frame, InvisibleElement& group) {
    CTreeListCtrl& tree = frame.view().GetTreeCtrl();
    if (CTreeListCtrl::Row row = frame.view().RowOf(&group)) tree.expandItem(row);
}

// Opens every row above the group's, so that opening the group is one step.
inline void OpenRowsAbove(CMainFrame& frame, InvisibleElement& group) {
    CTreeListCtrl& tree = frame.view().GetTreeCtrl();
    if (CTreeListCtrl::Row row = frame.view().RowOf(&group)) {
        for (CTreeListCtrl::Row up = row->parent(); up; up = up->parent()) tree.expandItem(up);
    }
}

inline CTreeListCtrl::Row PollRow(CMainFrame& frame, int input) {
    CTreeListCtrl& tree = frame.view().GetTreeCtrl();
    CTreeListCtrl::Row group = frame.view().pollGroup();
    for (int i = 0; group && i < group->childCount(); ++i) {
        const RowObject object = tree.GetRowObject(group->child(i));
        if (object.kind == RowObject::Kind::Poller && object.number == input) {
            return group->child(i);
        }
    }
    return nullptr;
}

// Types the period into the input's row under "Опрос входов" and ticks it.
inline void StartPoll(CMainFrame& frame, int input, int periodMs) {
    CTreeListCtrl& tree = frame.view().GetTreeCtrl();
    CTreeListCtrl::Row row = PollRow(frame, input);
    if (!row) return;
    for (CTreeListCtrl::Row up = row->parent(); up; up = up->parent()) tree.expandItem(up);
    tree.setCurrentItem(row);
    if (tree.BeginEdit(row, 1)) {
        if (auto* edit = qobject_cast<QLineEdit*>(tree.OpenEditor())) {
            edit->setText(QString::number(periodMs));
        }
        tree.EndEdit(true);
    }
    if (tree.GetStateIcon(row) != POLL_ICON_ON) emit tree.stateIconClicked(row);
}

// Unticks the input's row.
inline void StopPoll(CMainFrame& frame, int input) {
    CTreeListCtrl& tree = frame.view().GetTreeCtrl();
    CTreeListCtrl::Row row = PollRow(frame, input);
    if (row && tree.GetStateIcon(row) == POLL_ICON_ON) emit tree.stateIconClicked(row);
}

inline bool PollTicked(CMainFrame& frame, int input) {
    CTreeListCtrl::Row row = PollRow(frame, input);
    return row && frame.view().GetTreeCtrl().GetStateIcon(row) == POLL_ICON_ON;
}

// A menu command, as its item or its keys would run it.
inline void Command(CMainFrame& frame, int id) {
    frame.RunCommand(id);
}

// A group read on demand shows the wait cursor until it ends.
inline bool WaitCursorShown() {
    return QApplication::overrideCursor() != nullptr;
}

// A transfer-thread job (read all) shows its progress until it ends.
inline bool JobShown(CMainFrame& frame) {
    return frame.progress().isVisible();
}

// ---------------------------------------------------------------------------

inline double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A 1 ms timer on the window thread: the longest time between two ticks.
class GapMeter {
  public:
    GapMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        timer_.start();
    }
    void Reset() {
        last_ = Clock::now();
        longest_ = {};
    }
    // The longest gap so far, the one still open included.
    double LongestMs() const { return Ms(std::max(longest_, Clock::now() - last_)); }

  private:
    QTimer timer_;
    Clock::time_point last_ = Clock::now();
    Clock::duration longest_{};
};

// Runs the window's events until `done` holds or `limit` passes; false on the limit.
inline bool RunUntil(const std::function<bool()>& done, Clock::duration limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(2);
    bool met = false;
    QObject::connect(&check, &QTimer::timeout, [&] {
        met = done();
        if (met || Clock::now() >= deadline) loop.quit();
    });
    check.start();
    loop.exec();
    return met || done();
}

inline void RunFor(Clock::duration time) {
    RunUntil([] { return false; }, time);
}

// One run of the program with its window, in this process, on its own settings.
struct Window {
    MemorySettingsStore store;
    RecordingPrompter prompter;
    std::ostringstream out, err;
    RunEnvironment env;
    std::unique_ptr<RunContext> run;
    std::unique_ptr<WindowSession> session;

    explicit Window(const std::string& programPath) : env{out, err, store, programPath} {}
    ~Window() {
        session.reset();
        run.reset();
    }
    bool Start(const std::vector<std::string>& args) {
        processState().reset();
        run = std::make_unique<RunContext>(ParseCommandLine(args), env);
        if (run->Prepare() != kRunGoesOn) return false;
        session = std::make_unique<WindowSession>(*run, prompter);
        if (!session->Start()) return false;
        session->document().device().SetFinishHold(0ms);
        RunFor(200ms);  // the window shown and settled
        return true;
    }
    CMainFrame& frame() { return session->frame(); }
    Document& document() { return session->document(); }
    Device& device() { return document().device(); }
    sim::VirtualModule& module() { return run->simulated->module(); }
};

struct Result {
    std::string name;
    double gapMs = 0;
    double tookMs = 0;
    bool ended = false;
    std::string note;
};

// Runs `start` from the window's event loop, as a click would, then the
// events until `done` holds (after `start` has returned) or `limit` passes.
inline Result Measure(GapMeter& meter, const std::string& name, const std::function<void()>& start,
               const std::function<bool()>& done, Clock::duration limit) {
    Result r;
    r.name = name;
    bool returned = false;
    meter.Reset();
    const Clock::time_point t0 = Clock::now();
    QTimer::singleShot(0, [&] {
        start();
        returned = true;
    });
    r.ended = RunUntil([&] { return returned && done(); }, limit);
    QCoreApplication::processEvents();  // what the effect queued
    r.tookMs = Ms(Clock::now() - t0);
    r.gapMs = meter.LongestMs();
    return r;
}

// Every parameter of the group has a value or an error.
inline bool GroupSettled(const InvisibleElement& group) {
    for (const auto& p : group.parameters()) {
        if (p->value == kNoData && p->errorText.empty()) return false;
    }
    return true;
}

int GroupFailures(const InvisibleElement& group) {
    int n = 0;
    for (const auto& p : group.parameters()) n += p->errorText.empty() ? 0 : 1;
    return n;
}

// The files the scenarios need, in a folder of their own.
struct Scene {
    fs::path dir;
    fs::path program;  // the manual lies beside it, as in an installation
    fs::path viewerStarted;
    fs::path zep;

    bool Prepare() {
        char folder[] = "/tmp/zep8-ui-stall-XXXXXX";
        if (!mkdtemp(folder)) return false;
        dir = folder;
        fs::create_directories(dir / "bin");
        fs::create_directories(dir / "share" / "zep8");
        program = dir / "bin" / "zep8";
        viewerStarted = dir / "viewer-started";
        zep = dir / "stall.zep";
        std::ofstream(dir / "share" / "zep8" / "zep8.html") << "<html></html>\n";
        // A viewer that returns only when "closed", five seconds later.
        const fs::path viewer = dir / "bin" / "xdg-open";
        std::ofstream(viewer) << "#!/bin/sh\ntouch '" << viewerStarted.string() << "'\nsleep 5\n";
        fs::permissions(viewer, fs::perms::owner_all);
        const char* inherited = std::getenv("PATH");
        const std::string path =
            (dir / "bin").string() + ":" + (inherited ? inherited : "/usr/bin:/bin");
        setenv("PATH", path.c_str(), 1);
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            setenv(name, dir.c_str(), 1);
        }
        return true;
    }
};

using Results = std::vector<Result>;

}  // namespace zep8::stall
