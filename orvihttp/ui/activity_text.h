#pragma once

#include <cstdint>
#include <string>

// Texts of the settings window's pages, computed without any window.

// A signed number of seconds as "1 days 1h 1min 1s": parts larger than a
// second appear only when the duration reaches them, a zero minutes part is
// left out, the seconds always show. A negative duration gives only its
// seconds ("-5s").
std::string DurationText(int64_t seconds);

// A rate in bytes per second with two decimals in KB/s, MB/s or GB/s.
std::string RateText(uint32_t bytesPerSecond);

// The value of a number box: its first 30 characters read as a decimal
// integer (leading blanks and one sign allowed, stopping at the first other
// character, no digits give 0), clamped to the int32 range.
int32_t NumberBoxValue(const std::string& text);
