#include "orvihttp/content/http_date.h"

#include <chrono>
#include <cstdio>

std::string FormatHttpDate(int64_t secondsSince1970) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  using namespace std::chrono;
  const sys_seconds moment{seconds{secondsSince1970}};
  const sys_days day = floor<days>(moment);
  const year_month_day date{day};
  const hh_mm_ss<seconds> time{moment - day};
  const weekday dayOfWeek{day};
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d GMT",
                kDays[dayOfWeek.c_encoding()], static_cast<unsigned>(date.day()),
                kMonths[static_cast<unsigned>(date.month()) - 1], static_cast<int>(date.year()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

std::string CurrentHttpDate() {
  using namespace std::chrono;
  return FormatHttpDate(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}
