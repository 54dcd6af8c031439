#pragma once

#include <cstdint>
#include <string>

// "Sun, 06 Dec 2026 01:15:29 GMT" for a time in seconds since 1970 (UTC), as
// the Date and Last-Modified headers carry it.
std::string FormatHttpDate(int64_t secondsSince1970);
// The same for the current time.
std::string CurrentHttpDate();
