#include "ui/ui_test_main.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace zep8::testing {
namespace {

std::map<std::string, UiTestRun>& Registry() {
    static std::map<std::string, UiTestRun> tests;
    return tests;
}

}  // namespace

bool RegisterUiTest(const char* name, UiTestRun run) {
    return Registry().emplace(name, run).second;
}

}  // namespace zep8::testing

int main(int argc, char** argv) {
    const auto& tests = zep8::testing::Registry();
    const auto test = argc > 1 ? tests.find(argv[1]) : tests.end();
    if (test == tests.end()) {
        std::fprintf(stderr, "usage: %s NAME [QTest options], NAME one of:\n", argv[0]);
        for (const auto& [name, run] : tests) std::fprintf(stderr, "  %s\n", name.c_str());
        return 2;
    }
    // QTest sees the program and the options after the name.
    argv[1] = argv[0];
    return test->second(argc - 1, argv + 1);
}
