#pragma once

// The window tests are one program: each test class registers itself under
// its file's name, and `ui_tests NAME [QTest's options]` runs that class alone
// in its own process, with the QApplication QTEST_MAIN would make. One program
// is one link (on Windows, of the whole static Qt) instead of one per class.
#include <QApplication>
#include <QTest>

namespace zep8::testing {

using UiTestRun = int (*)(int argc, char** argv);

bool RegisterUiTest(const char* name, UiTestRun run);

template <class Test>
int RunUiTest(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    Test test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace zep8::testing

// In place of QTEST_MAIN(zep8::Test): NAME is the file's name ("dialogs_test").
#define ZEP8_UI_TEST(Test, name)                        \
    [[maybe_unused]] static const bool zep8_ui_test_##Test = \
        zep8::testing::RegisterUiTest(name, &zep8::testing::RunUiTest<zep8::Test>)
