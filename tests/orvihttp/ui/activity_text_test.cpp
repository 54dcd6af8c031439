#include "orvihttp/ui/activity_text.h"

#include <gtest/gtest.h>

#include <string>

TEST(ActivityText, DurationShowsOnlyThePartsItReaches) {
  EXPECT_EQ(DurationText(0), "0s");
  EXPECT_EQ(DurationText(59), "59s");
  EXPECT_EQ(DurationText(60), "1min 0s");
  EXPECT_EQ(DurationText(3599), "59min 59s");
  EXPECT_EQ(DurationText(3600), "1h 0s");
  EXPECT_EQ(DurationText(3725), "1h 2min 5s");
  EXPECT_EQ(DurationText(86399), "23h 59min 59s");
  EXPECT_EQ(DurationText(86400), "1 days 0s");
  EXPECT_EQ(DurationText(90000), "1 days 1h 0s");
  EXPECT_EQ(DurationText(90061), "1 days 1h 1min 1s");
  EXPECT_EQ(DurationText(86400 * 400 + 61), "400 days 1min 1s");
  // A clock set back: only the negative seconds.
  EXPECT_EQ(DurationText(-5), "-5s");
  EXPECT_EQ(DurationText(-90000), "-90000s");
}

TEST(ActivityText, RateSwitchesUnitAtEachPowerOf1024) {
  EXPECT_EQ(RateText(0), "0.00 KB/s");
  EXPECT_EQ(RateText(1536), "1.50 KB/s");
  EXPECT_EQ(RateText(1048575), "1024.00 KB/s");
  EXPECT_EQ(RateText(1048576), "1.00 MB/s");
  EXPECT_EQ(RateText(1073741823), "1024.00 MB/s");
  EXPECT_EQ(RateText(1073741824), "1.00 GB/s");
  EXPECT_EQ(RateText(4294967295u), "4.00 GB/s");
  // A sum of rates wraps like the unsigned 32-bit counter it is.
  EXPECT_EQ(RateText(static_cast<uint32_t>(4294967295u + 1025u)), "1.00 KB/s");
}

TEST(ActivityText, NumberBoxReadsLikeADecimalConversion) {
  EXPECT_EQ(NumberBoxValue(""), 0);
  EXPECT_EQ(NumberBoxValue("8080"), 8080);
  EXPECT_EQ(NumberBoxValue("99999"), 99999);
  EXPECT_EQ(NumberBoxValue("  \t42"), 42);
  EXPECT_EQ(NumberBoxValue("-17"), -17);
  EXPECT_EQ(NumberBoxValue("+17"), 17);
  EXPECT_EQ(NumberBoxValue("12ab34"), 12);
  EXPECT_EQ(NumberBoxValue("abc"), 0);
  EXPECT_EQ(NumberBoxValue("-"), 0);
  EXPECT_EQ(NumberBoxValue("--5"), 0);
  EXPECT_EQ(NumberBoxValue(" - 5"), 0);
  EXPECT_EQ(NumberBoxValue("007"), 7);
}

TEST(ActivityText, NumberBoxClampsInsteadOfWrapping) {
  EXPECT_EQ(NumberBoxValue("2147483647"), 2147483647);
  EXPECT_EQ(NumberBoxValue("2147483648"), 2147483647);
  EXPECT_EQ(NumberBoxValue("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(NumberBoxValue("-2147483649"), -2147483647 - 1);
  EXPECT_EQ(NumberBoxValue("4294967296"), 2147483647);  // would wrap to 0
  EXPECT_EQ(NumberBoxValue(std::string(30, '9')), 2147483647);
  EXPECT_EQ(NumberBoxValue("-" + std::string(29, '9')), -2147483647 - 1);
}

TEST(ActivityText, NumberBoxReadsOnlyTheFirstThirtyCharacters) {
  // 29 blanks and "7" are read; the digit after them is not.
  EXPECT_EQ(NumberBoxValue(std::string(29, ' ') + "78"), 7);
  EXPECT_EQ(NumberBoxValue(std::string(30, ' ') + "7"), 0);
  EXPECT_EQ(NumberBoxValue(std::string(28, '0') + "123"), 12);
}
