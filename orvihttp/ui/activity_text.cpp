#include "orvihttp/ui/activity_text.h"

#include <cstdio>
#include <limits>
#include <string_view>

std::string DurationText(int64_t seconds) {
  std::string text;
  if (seconds > 86399) {
    text += std::to_string(seconds / 86400) + " days ";
    seconds %= 86400;
  }
  if (seconds > 3599) {
    text += std::to_string(seconds / 3600) + "h ";
    seconds %= 3600;
  }
  if (seconds > 59) {
    text += std::to_string(seconds / 60) + "min ";
    seconds %= 60;
  }
  return text + std::to_string(seconds) + "s";
}

std::string RateText(uint32_t bytesPerSecond) {
  constexpr uint32_t kMega = 1048576;
  constexpr uint32_t kGiga = 1073741824;
  char text[32];
  if (bytesPerSecond < kMega) {
    std::snprintf(text, sizeof text, "%.2f KB/s", bytesPerSecond / 1024.0);
  } else if (bytesPerSecond < kGiga) {
    std::snprintf(text, sizeof text, "%.2f MB/s", bytesPerSecond / static_cast<double>(kMega));
  } else {
    std::snprintf(text, sizeof text, "%.2f GB/s", bytesPerSecond / static_cast<double>(kGiga));
  }
  return text;
}

int32_t NumberBoxValue(const std::string& text) {
  constexpr std::size_t kReadLimit = 30;
  const std::string head = text.substr(0, kReadLimit);
  std::size_t at = 0;
  // The blanks a C library's number conversion skips.
  while (at < head.size() &&
         std::string_view(" \t\n\v\f\r").find(head[at]) != std::string_view::npos) {
    ++at;
  }
  bool negative = false;
  if (at < head.size() && (head[at] == '+' || head[at] == '-')) {
    negative = head[at] == '-';
    ++at;
  }
  // Thirty digits overflow any integer type: clamp as soon as the magnitude
  // passes what an int32 can hold.
  constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  int64_t magnitude = 0;
  for (; at < head.size() && head[at] >= '0' && head[at] <= '9'; ++at) {
    magnitude = magnitude * 10 + (head[at] - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}
