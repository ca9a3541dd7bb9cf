// How long one full redraw of the poll plot takes with an hour of eight inputs
// at 10 Hz kept (288 000 results, a few failed reads among them), against the
// 16.7 ms of one frame at 60 Hz. Offscreen.
//
//   plot_bench [REDRAWS] [WIDTHxHEIGHT] [LIVE_SECONDS]
//
// Then the whole program with its window on the virtual module, eight inputs
// polled every 100 ms and the plot open: the CPU share of the window thread.
//
// One redraw is what the window does on each tick of its redraw timer while
// results arrive: after a new result of each input, the curves rebuilt from the
// kept results in view, the axes set, then the plot's layout, its picture and
// the window's repaint from the event loop. The plot's widget painted alone by
// grab() (its last picture copied) is shown beside.
#include <time.h>

#include <QApplication>
#include <QDateTime>
#include <QPixmap>
#include <qcustomplot.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <numeric>
#include <optional>
#include <vector>

#include <QTimer>
#include <sstream>

#include "app/application.h"
#include "platform/memory_settings_store.h"
#include "platform/prompter.h"
#include "sim/simulated_line.h"
#include "sim/simulated_module.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/qt_prompter.h"
#include "ui/frame/window_jobs.h"
#include "ui/frame/window_session.h"
#include "ui/plot/trend_plot.h"
#include "ui/tree/config_tree_view.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kInputs = zep8::CTrendPlot::kInputs;
constexpr qint64 kTickMs = 100;
constexpr int kTicksPerHour = 36000;
constexpr double kFrameMs = 1000.0 / 60;

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A slow sine per input with some ripple; each input fails for 3 s at four moments.
std::optional<double> Reading(int input, int tick) {
    const int phase = (tick + input * 700) % 9000;
    if (phase < 30) return std::nullopt;
    const double t = tick * kTickMs / 1000.0;
    return 20 + 2 * input + 3 * std::sin(2 * std::numbers::pi * t / (90 + 17 * input)) +
           0.3 * std::sin(t * 1.7 + input);
}

void Feed(zep8::CTrendPlot& plot, qint64 start, int tick) {
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(start + tick * kTickMs);
    for (int input = 0; input < kInputs; ++input) {
        plot.AddSample(input, QStringLiteral("Вход %1").arg(input + 1), time, Reading(input, tick));
    }
}

// The window thread's share of one core while the program polls eight
// inputs at 100 ms, their rows in sight, with the plot open or not.
void LiveShare(int seconds, bool withPlot) {
    zep8::MemorySettingsStore store;
    std::ostringstream out, err;
    zep8::RunEnvironment env{out, err, store, ""};
    zep8::RunContext run(zep8::ParseCommandLine({"--simulate"}), env);
    if (run.Prepare() != zep8::kRunGoesOn) std::exit(1);
    zep8::QtPrompter prompter;
    zep8::WindowSession session(run, prompter);
    if (!session.Start()) std::exit(1);
    zep8::ChannelPolling& polling = session.frame().view().polling();
    for (int input = 0; input < kInputs; ++input) {
        run.simulated->module().setValue("in-t", input, 6);
        polling.EditPeriod(input, "100");
        polling.TogglePollRow(input, zep8::POLL_ICON_OFF);
    }
    zep8::CTreeListCtrl& tree = session.frame().view().GetTreeCtrl();
    for (auto* row = session.frame().view().pollGroup(); row; row = row->parent()) {
        tree.expandItem(row);
    }
    tree.scrollToItem(session.frame().view().pollGroup(), QAbstractItemView::PositionAtTop);
    // The opened groups are read first, as before, so that only the polls are measured.
    while (session.frame().jobs().busy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (withPlot) session.frame().RunCommand(zep8::ID_TREND_PLOT);
    QApplication::processEvents();
    const int before = session.frame().plot().SampleCount(0);
    const double c0 = ThreadCpuMs();
    const auto t0 = Clock::now();
    // exit(), not quit(): quit() closes the windows first, and the main window
    // would ask whether to save the polls' edits, with nobody to answer.
    QTimer::singleShot(seconds * 1000, [] { QCoreApplication::exit(0); });
    QApplication::exec();
    const double cpu = ThreadCpuMs() - c0, wall = Ms(Clock::now() - t0);
    // The plot keeps every result whether it is open or not.
    const int results = (session.frame().plot().SampleCount(0) - before) * kInputs;
    std::printf(
        "live, 8 inputs at 100 ms, rows in sight, %s: %d results in %.1f s, window "
        "thread %.1f ms CPU = %.2f %% of a core (target < 2 %%)\n",
        withPlot ? "plot open" : "no plot  ", results, wall / 1000, cpu, 100 * cpu / wall);
    for (int input = 0; input < kInputs; ++input) {
        polling.TogglePollRow(input, zep8::POLL_ICON_ON);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int redraws = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    int width = 900, height = 520;
    if (argc > 2) std::sscanf(argv[2], "%dx%d", &width, &height);

    zep8::CTrendPlot plot;
    plot.resize(width, height);
    plot.show();
    QApplication::processEvents();
    auto* view = plot.findChild<QCustomPlot*>();

    const qint64 start = QDateTime::currentMSecsSinceEpoch() - kTicksPerHour * kTickMs;
    const auto fed = Clock::now();
    for (int tick = 0; tick < kTicksPerHour; ++tick) Feed(plot, start, tick);
    const double feedMs = Ms(Clock::now() - fed);
    std::printf("kept: %d results (%d inputs x %d), %.2f us to add one\n",
                kInputs * plot.SampleCount(0), kInputs, plot.SampleCount(0),
                feedMs * 1000 / (kInputs * kTicksPerHour));
    std::printf("window %dx%d, plot %dx%d, %d redraws each\n", plot.width(), plot.height(),
                view->width(), view->height(), redraws);

    int tick = kTicksPerHour;
    struct Case {
        const char* name;
        zep8::CTrendPlot::Span span;
    };
    for (const Case& c : {Case{"всё (1 h)", zep8::CTrendPlot::Span::All},
                          Case{"60 s", zep8::CTrendPlot::Span::Seconds60}}) {
        plot.SetSpan(c.span);
        QApplication::processEvents();
        std::vector<double> wall, cpu;
        double curves = 0;
        for (int i = -3; i < redraws; ++i) {  // three to warm up
            Feed(plot, start, tick++);
            const auto t0 = Clock::now();
            const double c0 = ThreadCpuMs();
            plot.Redraw();
            const double c1 = ThreadCpuMs();
            QApplication::processEvents();  // the plot's layout and picture, the repaint
            const auto t2 = Clock::now();
            const double c2 = ThreadCpuMs();
            if (i < 0) continue;
            curves += c1 - c0;
            wall.push_back(Ms(t2 - t0));
            cpu.push_back(c2 - c0);
        }
        // The plot painted alone, as grab() does it.
        const auto g0 = Clock::now();
        for (int i = 0; i < redraws; ++i) {
            if (view->grab().isNull()) return 1;
        }
        const double grab = Ms(Clock::now() - g0) / redraws;
        // The plot's paint event alone: its layout and picture, nothing new to show.
        const double p0 = ThreadCpuMs();
        for (int i = 0; i < redraws; ++i) view->repaint();
        const double paint = (ThreadCpuMs() - p0) / redraws;

        const double mean = std::accumulate(wall.begin(), wall.end(), 0.0) / redraws;
        const double cpuMean = std::accumulate(cpu.begin(), cpu.end(), 0.0) / redraws;
        std::sort(wall.begin(), wall.end());
        std::printf(
            "%-10s one redraw %.2f ms (median %.2f, thread CPU %.2f; curves and axes %.2f CPU) "
            "against %.1f ms: ratio %.3f (target <= 0.5); paint alone %.2f ms CPU, grab() %.2f ms\n",
            c.name, mean, wall[wall.size() / 2], cpuMean, curves / redraws, kFrameMs,
            mean / kFrameMs, paint, grab);
    }
    plot.hide();
    const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
    LiveShare(seconds, false);
    LiveShare(seconds, true);
    return 0;
}
