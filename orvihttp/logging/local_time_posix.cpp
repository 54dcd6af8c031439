#include <time.h>

#include <atomic>
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

namespace {

int64_t SteadySecond() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool SameZone(const std::string& zone, const char* variable) {
  return variable ? zone == variable : zone.empty();
}

// Counts the calls of TimeZoneVariableChanged().
std::atomic<uint32_t> zoneChanges{0};

// What each thread last learnt, so that most log lines take no lock and no
// look at the environment. Plain storage.
struct KnownBias {
  int64_t second = -1;
  uint32_t changes = 0;
  int32_t bias = 0;
};

}  // namespace

void TimeZoneVariableChanged() {
  zoneChanges.fetch_add(1);
}

int32_t StandardTimeBiasMinutes() {
  // tzset() looks at the zone file each time, which made a stat for every
  // access-log line, and the TZ variable is a walk over the environment.
  // Both are looked at once a second at most, and at once after
  // TimeZoneVariableChanged().
  const int64_t second = SteadySecond();
  const uint32_t changes = zoneChanges.load();
  thread_local KnownBias known;
  if (known.second == second && known.changes == changes) return known.bias;
  const char* variable = std::getenv("TZ");

  static std::mutex mutex;
  static bool asked = false;
  static std::string zone;
  static int64_t askedAt = 0;
  static int32_t bias = 0;
  int32_t result;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!asked || !SameZone(zone, variable) || askedAt != second) {
      tzset();
      bias = static_cast<int32_t>(timezone / 60);  // seconds west of UTC, standard time
      zone = variable ? variable : "";
      askedAt = second;
      asked = true;
    }
    result = bias;
  }
  known.second = second;
  known.changes = changes;
  known.bias = result;
  return result;
}
