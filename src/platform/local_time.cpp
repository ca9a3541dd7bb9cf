#include "platform/local_time.h"

#include <cstdio>

namespace zep8 {
namespace {

constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[] = {"January", "February", "March",     "April",
                                   "May",     "June",     "July",      "August",
                                   "September", "October", "November", "December"};

std::string Number(int value, int width, char fill = '0') {
    char text[16];
    std::snprintf(text, sizeof text, fill == '0' ? "%0*d" : "%*d", width, value);
    return text;
}


// strftime of the "C" locale, done here: the C runtimes differ in what they
// print for it and in whether they take a locale per call.
std::string Format(const char* format, const std::tm& t) {
    std::string out;
    const int day = t.tm_wday >= 0 && t.tm_wday < 7 ? t.tm_wday : 0;
    const int month = t.tm_mon >= 0 && t.tm_mon < 12 ? t.tm_mon : 0;
    for (const char* p = format; *p; ++p) {
        if (*p != '%' || !p[1]) {
            out += *p;
            continue;
        }
        switch (*++p) {
            case 'a': out += std::string(kDays[day]).substr(0, 3); break;
            case 'A': out += kDays[day]; break;
            case 'b': case 'h': out += std::string(kMonths[month]).substr(0, 3); break;
            case 'B': out += kMonths[month]; break;
            case 'c':
                out += Format("%a %b %e %H:%M:%S %Y", t);
                break;
            case 'd': out += Number(t.tm_mday, 2); break;
            case 'e': out += Number(t.tm_mday, 2, ' '); break;
            case 'H': out += Number(t.tm_hour, 2); break;
            case 'I': out += Number(t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12, 2); break;
            case 'j': out += Number(t.tm_yday + 1, 3); break;
            case 'm': out += Number(t.tm_mon + 1, 2); break;
            case 'M': out += Number(t.tm_min, 2); break;
            case 'p': out += t.tm_hour < 12 ? "AM" : "PM"; break;
            case 'S': out += Number(t.tm_sec, 2); break;
            case 'y': out += Number((t.tm_year + 1900) % 100, 2); break;
            case 'Y': out += std::to_string(t.tm_year + 1900); break;
            case 'D': out += Format("%m/%d/%y", t); break;
            case 'F': out += Format("%Y-%m-%d", t); break;
            case 'T': out += Format("%H:%M:%S", t); break;
            case 'x': out += Format("%m/%d/%y", t); break;
            case 'X': out += Format("%H:%M:%S", t); break;
            case '%': out += '%'; break;
            default:
                out += '%';
                out += *p;
                break;
        }
    }
    return out;
}

}  // namespace

std::tm LocalCalendar(std::time_t when) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    return local;
}

std::string FormatLocalTime(const char* format, std::time_t when) {
    return Format(format, LocalCalendar(when));
}

std::string FormatLocalTime(const char* format) {
    return FormatLocalTime(format, std::time(nullptr));
}

}  // namespace zep8
