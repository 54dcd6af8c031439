#include <windows.h>

#include <time.h>

#include "orvihttp/logging/local_time.h"

std::tm LocalCalendarTime(std::time_t when) {
  std::tm result{};
  localtime_s(&result, &when);
  return result;
}

void TimeZoneVariableChanged() {
  // The zone is asked of the system for every stamp.
}

int32_t StandardTimeBiasMinutes() {
  TIME_ZONE_INFORMATION zone;
  if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return 0;
  return static_cast<int32_t>(zone.Bias);
}
