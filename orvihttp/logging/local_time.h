#pragma once

#include <cstdint>
#include <ctime>

// Thread-safe conversion of seconds since 1970 to local calendar time.
std::tm LocalCalendarTime(std::time_t when);

// The platform's standard-time bias in minutes west of UTC (a zone east of
// UTC is negative). Daylight saving time is not included.
int32_t StandardTimeBiasMinutes();

// Where the zone comes from the TZ variable, it is looked at once a second;
// a program that changes TZ calls this afterwards (as it calls tzset()) for
// the next stamp to follow at once.
void TimeZoneVariableChanged();
