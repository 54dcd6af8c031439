#pragma once

#include <ctime>

// The periods the Statistics page offers, as indexes of its drop-down list.
// Any other value (no selection: -1) matches no record.
enum StatsPeriod : int {
  kStatsTotal = 0,
  kStatsToday = 1,
  kStatsThisWeek = 2,
  kStatsThisMonth = 3,
};
inline constexpr int kStatsPeriodCount = 4;

// The text of each period in the drop-down list.
const char* StatsPeriodText(int period);

// Days of `month` (0-11) in `year` (years since 1900, as in std::tm), with
// February's 29 days in a leap year.
int DaysInMonth(int year, int month);

// Whether a record stamped `record` lies in `period` as judged at `now`, both
// local calendar times (tm_year, tm_mon, tm_mday and tm_wday are used). This
// week runs from the most recent Sunday up to today, across the start of a
// month too.
bool InStatsPeriod(int period, const std::tm& now, const std::tm& record);
