#include <time.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
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

// What each thread last learnt, so that most log lines take no lock. Plain
// storage: the zone's name is kept only when it fits.
struct KnownBias {
  int64_t second = -1;
  bool hasVariable = false;
  char variable[128] = {};
  int32_t bias = 0;

  bool Holds(int64_t now, const char* current) const {
    if (second != now || hasVariable != (current != nullptr)) return false;
    return !current || std::strcmp(variable, current) == 0;
  }
};

}  // namespace

int32_t StandardTimeBiasMinutes() {
  // tzset() looks at the zone file each time, which made a stat for every
  // access-log line. The file is looked at once a second at most; a changed
  // TZ variable is taken at once.
  const int64_t second = SteadySecond();
  const char* variable = std::getenv("TZ");
  thread_local KnownBias known;
  if (known.Holds(second, variable)) return known.bias;

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
  const bool fits = !variable || std::strlen(variable) < sizeof known.variable;
  known.second = fits ? second : -1;
  known.hasVariable = variable != nullptr;
  if (variable && fits) std::strcpy(known.variable, variable);
  known.bias = result;
  return result;
}
