// The configurator's entry point. Without windows for now: it carries out the
// command line's action and ends with its exit code.
#include <QCoreApplication>

#include <iostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/qsettings_store.h"

int main(int argc, char** argv) {
    QCoreApplication qt(argc, argv);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    zep8::QSettingsStore store;
    zep8::RunEnvironment environment{std::cout, std::cerr, store,
                                     QCoreApplication::applicationFilePath().toStdString()};
    return zep8::RunApplication(args, environment);
}
