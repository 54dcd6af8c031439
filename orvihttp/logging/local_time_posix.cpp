#include <time.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>

#include "orvihttp/logging/local_time.h"

std::tm LocalCalendarTime(std::time_t when) {
  std::tm result{};
  localtime_r(&when, &result);
  return result;
}

int32_t StandardTimeBiasMinutes() {
  // tzset() looks at the zone file each time, which made a stat for every
  // access-log line. The file is looked at once a second at most; a changed
  // TZ variable is taken at once.
  static std::mutex mutex;
  static bool known = false;
  static std::string zone;
  static int64_t askedAt = 0;
  static int32_t bias = 0;
  const int64_t second = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count();
  std::lock_guard<std::mutex> lock(mutex);
  const char* variable = std::getenv("TZ");
  const bool sameZone = variable ? zone == variable : zone.empty();
  if (!known || !sameZone || askedAt != second) {
    tzset();
    bias = static_cast<int32_t>(timezone / 60);  // seconds west of UTC, standard time
    zone = variable ? variable : "";
    askedAt = second;
    known = true;
  }
  return bias;
}
