#pragma once

#include <cstdint>

// Milliseconds of a monotonic clock, wrapping at 32 bits (timeGetTime).
uint32_t TimeMs();

// Milliseconds of a monotonic clock that never wraps: for deadlines and
// idle times measured within one run.
int64_t NowMs();
