#include "orvihttp/logging/stats_period.h"

namespace {

constexpr int kDaysPerWeek = 7;

bool SameMonth(const std::tm& a, const std::tm& b) {
  return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon;
}

bool InThisWeek(const std::tm& now, const std::tm& record) {
  if (record.tm_wday > now.tm_wday) return false;
  if (SameMonth(record, now)) return record.tm_mday > now.tm_mday - kDaysPerWeek;
  if (now.tm_mday >= kDaysPerWeek) return false;
  // The week began in the month before.
  int year = now.tm_mon == 0 ? now.tm_year - 1 : now.tm_year;
  int month = now.tm_mon == 0 ? 11 : now.tm_mon - 1;
  if (record.tm_year != year || record.tm_mon != month) return false;
  return record.tm_mday > DaysInMonth(year, month) + now.tm_mday - kDaysPerWeek;
}

}  // namespace

const char* StatsPeriodText(int period) {
  static const char* const kTexts[kStatsPeriodCount] = {"Total", "Today", "This week",
                                                        "This month"};
  return period >= 0 && period < kStatsPeriodCount ? kTexts[period] : "";
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month != 1) return kDays[month];
  int full = year + 1900;
  bool leap = (full % 4 == 0 && full % 100 != 0) || full % 400 == 0;
  return leap ? 29 : 28;
}

bool InStatsPeriod(int period, const std::tm& now, const std::tm& record) {
  switch (period) {
    case kStatsTotal:
      return true;
    case kStatsToday:
      return SameMonth(record, now) && record.tm_mday == now.tm_mday;
    case kStatsThisWeek:
      return InThisWeek(now, record);
    case kStatsThisMonth:
      return SameMonth(record, now);
    default:
      return false;
  }
}
