#pragma once

#include <cstdint>

// Milliseconds of a monotonic clock, wrapping at 32 bits (timeGetTime).
uint32_t TimeMs();
