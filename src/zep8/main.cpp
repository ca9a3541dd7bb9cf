// The configurator's entry point: the window when a display is there, the
// terminal run of the command line's action otherwise.
#include <QApplication>
#include <QCoreApplication>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/command_line.h"
#include "app/qsettings_store.h"
#include "ui/frame/app_icon.h"
#include "ui/frame/startup_fonts.h"
#include "ui/frame/window_session.h"

namespace {

bool DisplayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    const zep8::OptionRecord options = zep8::ParseCommandLine(args);
    // A mistyped option must not start a run that does something else: no
    // window, no module, no port.
    if (const std::string refusal = zep8::RefusalText(options); !refusal.empty()) {
        std::cerr << refusal << "\n";
        return zep8::kUsageErrorCode;
    }
    // The doctor, the survey, the report and a job for several modules run in
    // the terminal even when a display is there.
    const bool information = options.help || options.version || !options.dump.empty() ||
                             options.doctor || options.survey || options.report ||
                             options.manyModules();

    if (information || options.headless || !DisplayAvailable()) {
        QCoreApplication qt(argc, argv);
        if (!information) std::cerr << "zep8: работаю без окон.\n";
        zep8::QSettingsStore store;
        zep8::RunEnvironment environment{std::cout, std::cerr, store,
                                         QCoreApplication::applicationFilePath().toStdString()};
        return zep8::RunApplication(args, environment);
    }
    zep8::StartFontWarmUp();
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZEP8"));
    QApplication::setWindowIcon(zep8::ProgramIcon());
    // Lets the desktop match the window with zep8.desktop and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("zep8"));
    QApplication::setQuitOnLastWindowClosed(true);
    zep8::QSettingsStore store;
    zep8::RunEnvironment environment{std::cout, std::cerr, store,
                                     QApplication::applicationFilePath().toStdString()};
    return zep8::RunWithWindows(args, environment);
}
