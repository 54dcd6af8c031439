#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "orvihttp/logging/access_log.h"
#include "orvihttp/logging/local_time.h"

namespace {

// Runs with the TZ variable set, restoring the previous zone afterwards.
class ZoneTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TZ");
    had_zone_ = old != nullptr;
    if (old) old_zone_ = old;
  }
  void TearDown() override {
    if (had_zone_) {
      setenv("TZ", old_zone_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
    TimeZoneVariableChanged();
  }
  void Use(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
    TimeZoneVariableChanged();
  }

  bool had_zone_ = false;
  std::string old_zone_;
};

constexpr std::time_t kSunday = 1796519729;  // 2026-12-06 01:15:29 UTC

TEST_F(ZoneTest, StampsInUtc) {
  Use("UTC0");
  EXPECT_EQ(StandardTimeBiasMinutes(), 0);
  EXPECT_EQ(LogTimestampAt(kSunday, StandardTimeBiasMinutes()), "[06/Dec/2026:01:15:29 +0000]");
  EXPECT_EQ(LocalTimestampAt(kSunday), "Sun, 06 Dec 2026 01:15:29");
}

TEST_F(ZoneTest, BiasIsStandardTimeInMinutesWest) {
  Use("XYZ-2");
  EXPECT_EQ(StandardTimeBiasMinutes(), -120);
  EXPECT_EQ(LogTimestampAt(kSunday, StandardTimeBiasMinutes()), "[06/Dec/2026:03:15:29 +0200]");
  Use("IST-5:30");
  EXPECT_EQ(StandardTimeBiasMinutes(), -330);
  EXPECT_EQ(LogTimestamp().substr(LogTimestamp().size() - 6), "+0500]");
  // Daylight saving time is not added: a summer time stamp keeps -0500.
  Use("EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(StandardTimeBiasMinutes(), 300);
  EXPECT_EQ(LogTimestampAt(1783300000, StandardTimeBiasMinutes()).substr(21), " -0500]");
}

}  // namespace
