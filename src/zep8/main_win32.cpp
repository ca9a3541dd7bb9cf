// zep8.exe, the configurator on Windows. Built with the window (ZEP8_WITH_WINDOW)
// it is a program of the window subsystem: a double-click opens the window and
// no console; the terminal runs write to the caller's console or to the
// handles it gave. Without the window, every job of the command line runs in
// the terminal.
#include <iostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/command_line.h"
#include "platform/registry_settings_store.h"
#include "zep8/windows_process.h"

#ifdef ZEP8_WITH_WINDOW
#include <QApplication>

#include "ui/frame/app_icon.h"
#include "ui/frame/window_session.h"
#endif

namespace {

int RunInTerminal(const std::vector<std::string>& args) {
    zep8::RegistrySettingsStore store;
    zep8::RunEnvironment environment{std::cout, std::cerr, store, zep8::ProgramFilePath()};
    const int code = zep8::RunApplication(args, environment);
    std::cout.flush();
    std::cerr.flush();
    return code;
}

#ifdef ZEP8_WITH_WINDOW
int RunWindow(int argc, char** argv, const std::vector<std::string>& args) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZEP8"));
    QApplication::setWindowIcon(zep8::ProgramIcon());
    QApplication::setQuitOnLastWindowClosed(true);
    zep8::RegistrySettingsStore store;
    zep8::RunEnvironment environment{std::cout, std::cerr, store, zep8::ProgramFilePath()};
    const int code = zep8::RunWithWindows(args, environment);
    std::cout.flush();
    std::cerr.flush();
    return code;
}
#endif

}  // namespace

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
    const std::vector<std::string> args = zep8::CommandLineArguments();
    const zep8::OptionRecord options = zep8::ParseCommandLine(args);
#ifdef ZEP8_WITH_WINDOW
    // The doctor, the survey, the report and a job for several modules run in
    // the terminal, as on Linux; everything else with the window unless
    // --headless says otherwise.
    const bool information = options.help || options.version || !options.dump.empty() ||
                             options.doctor || options.survey || options.report ||
                             options.manyModules();
    const bool terminal = information || options.headless ||
                          !zep8::RefusalText(options).empty();
#else
    const bool terminal = true;
#endif
    if (terminal) zep8::AttachCallersConsole();
    zep8::UseConsoleForStandardStreams();
    // A mistyped option must not start a run that does something else.
    if (const std::string refusal = zep8::RefusalText(options); !refusal.empty()) {
        std::cerr << refusal << "\n";
        std::cerr.flush();
        return zep8::kUsageErrorCode;
    }
#ifdef ZEP8_WITH_WINDOW
    if (!terminal) return RunWindow(argc, argv, args);
#endif
    return RunInTerminal(args);
}
