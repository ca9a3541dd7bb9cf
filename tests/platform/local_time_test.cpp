#include "platform/local_time.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

namespace zep8 {
namespace {

#ifdef _WIN32
void setenv(const char* name, const char* value, int) {
    _putenv_s(name, value);
}
void unsetenv(const char* name) {
    _putenv_s(name, "");
}
#endif

class LocalTime : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? tz : "";
        hadTz_ = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_)
            setenv("TZ", savedTz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string savedTz_;
    bool hadTz_ = false;
};

TEST_F(LocalTime, EnglishNamesWhateverTheLocale) {
    const std::time_t when = 1796672000;  // 2026-12-07 19:33:20 UTC
    std::setlocale(LC_TIME, "ru_RU.UTF-8");
    EXPECT_EQ(FormatLocalTime("%B%d", when), "December07");
    EXPECT_EQ(FormatLocalTime("%c", when), "Mon Dec  7 19:33:20 2026");
    std::setlocale(LC_TIME, "C");
    EXPECT_EQ(FormatLocalTime("%B%d", 0), "January01");
}

}  // namespace
}  // namespace zep8
