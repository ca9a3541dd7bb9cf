#include "platform/local_time.h"

#include <locale.h>
#include <time.h>

namespace zep8 {

std::string FormatLocalTime(const char* format, std::time_t when) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    std::tm local{};
    localtime_r(&when, &local);
    char buffer[256];
    const std::size_t n = strftime_l(buffer, sizeof buffer, format, &local, cLocale);
    return std::string(buffer, n);
}

std::string FormatLocalTime(const char* format) {
    return FormatLocalTime(format, std::time(nullptr));
}

}  // namespace zep8
