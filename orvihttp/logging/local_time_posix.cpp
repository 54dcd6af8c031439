#include <time.h>

#include "orvihttp/logging/local_time.h"

std::tm LocalCalendarTime(std::time_t when) {
  std::tm result{};
  localtime_r(&when, &result);
  return result;
}

int32_t StandardTimeBiasMinutes() {
  tzset();
  return static_cast<int32_t>(timezone / 60);  // seconds west of UTC, standard time
}
