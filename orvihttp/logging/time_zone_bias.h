#pragma once

#include <cstdint>

// The platform's standard-time bias in minutes west of UTC (a zone east of
// UTC is negative). Daylight saving time is not included.
int32_t StandardTimeBiasMinutes();
