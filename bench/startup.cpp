// How long the program takes from its start to its window on screen with the
// tree filled (the module identified, the root open), against a bare Qt main
// window started the same way. Offscreen; the virtual module inside.
//
//   startup_bench [RUNS]
//
// Each run is a new process of this program (so the libraries load as they
// do for zep8); the child prints the monotonic time at which its window is up.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/application.h"
#include "platform/memory_settings_store.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/qt_prompter.h"
#include "ui/frame/startup_fonts.h"
#include "ui/frame/window_session.h"
#include "ui/tree/config_tree_view.h"

extern char** environ;

namespace {

double NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Prints when the event loop has shown the window, then ends.
void ReportWhenShown(QWidget& window) {
    QTimer::singleShot(0, &window, [&window] {
        if (!window.isVisible()) std::abort();
        std::printf("%.3f\n", NowMs());
        std::fflush(stdout);
        QApplication::quit();
    });
}

int Bare(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.showMaximized();
    ReportWhenShown(window);
    return QApplication::exec();
}

int Configurator(int argc, char** argv) {
    zep8::StartFontWarmUp();  // as zep8's entry point does
    QApplication app(argc, argv);
    zep8::MemorySettingsStore store;
    std::ostringstream out, err;
    zep8::RunEnvironment env{out, err, store, ""};
    zep8::RunContext run(zep8::ParseCommandLine({"--simulate"}), env);
    if (run.Prepare() != zep8::kRunGoesOn) return 1;
    zep8::QtPrompter prompter;
    zep8::WindowSession session(run, prompter);
    if (!session.Start()) return 1;
    // The module must have answered and the tree must be there.
    if (!session.document().linkFound() || !session.frame().view().root() ||
        !session.frame().view().GetTreeCtrl().isItemExpanded(session.frame().view().root())) {
        return 2;
    }
    ReportWhenShown(session.frame());
    return QApplication::exec();
}

// Milliseconds from spawning `mode` to its window being up.
double TimeChild(const char* self, const char* mode) {
    int fds[2];
    if (pipe(fds) != 0) std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    char* argv[] = {const_cast<char*>(self), const_cast<char*>(mode), nullptr};
    pid_t pid;
    const double start = NowMs();
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) std::exit(1);
    close(fds[1]);
    std::string text;
    char buffer[64];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) {
        std::cerr << mode << " failed (status " << status << ")\n";
        std::exit(1);
    }
    return std::atof(text.c_str()) - start;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc > 1 && std::string(argv[1]) == "bare") return Bare(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "zep8") return Configurator(argc, argv);

    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    // Settings of its own, so the run neither reads nor changes the user's.
    const auto config = std::filesystem::temp_directory_path() / "zep8-startup-bench";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    std::vector<double> bare, zep8;
    for (int i = 0; i < runs; ++i) {
        bare.push_back(TimeChild(self.c_str(), "bare"));
        zep8.push_back(TimeChild(self.c_str(), "zep8"));
    }
    const double b = Median(bare), z = Median(zep8);
    std::printf("window up, median of %d runs: bare QMainWindow %.1f ms, zep8 %.1f ms\n", runs, b,
                z);
    std::printf("ratio %.2f (target 1.5 or less)\n", z / b);
    std::filesystem::remove_all(config);
    return 0;
}
