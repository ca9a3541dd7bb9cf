// The test programs' main: the process takes the locale of its environment, as
// the configurator does once Qt has started (setlocale(LC_ALL, "")). ./test runs
// the suites in the users' locale, ru_RU.UTF-8, where printf's "%f" writes a
// comma and strtod stops at a point, so a locale-bound number shows at once.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
