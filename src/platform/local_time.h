#pragma once

#include <ctime>
#include <string>

namespace zep8 {

// strftime in the local time zone with the default (English) names and
// layout, whatever locale the process has switched to: "%c" gives
// "Mon Dec  7 19:53:15 2026", "%B%d" gives "December07".
std::string FormatLocalTime(const char* format, std::time_t when);
std::string FormatLocalTime(const char* format);

// The calendar fields of `when` in the local time zone.
std::tm LocalCalendar(std::time_t when);

}  // namespace zep8
