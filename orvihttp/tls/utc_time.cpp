#include "orvihttp/tls/utc_time.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

int64_t UtcSeconds(const UtcDateTime& time) {
  return DaysFromCivil(time.year, time.month, time.day) * kSecondsPerDay + time.hour * 3600 +
         time.minute * 60 + time.second;
}

UtcDateTime UtcDateTimeOf(int64_t seconds) {
  int64_t days = seconds / kSecondsPerDay;
  int64_t rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  // The inverse of DaysFromCivil.
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  UtcDateTime time;
  time.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  time.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  time.year = static_cast<int>(yearOfEra + era * 400 + (time.month <= 2 ? 1 : 0));
  time.hour = static_cast<int>(rest / 3600);
  time.minute = static_cast<int>(rest / 60 % 60);
  time.second = static_cast<int>(rest % 60);
  return time;
}

std::string UtcTimeText(int64_t seconds) {
  const UtcDateTime time = UtcDateTimeOf(seconds);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d UTC", time.year, time.month,
                time.day, time.hour, time.minute, time.second);
  return text;
}

std::string X509TimeText(int64_t seconds) {
  const UtcDateTime time = UtcDateTimeOf(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", time.year, time.month, time.day,
                time.hour, time.minute, time.second);
  return text;
}

int64_t UtcNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}
