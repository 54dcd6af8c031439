#include <windows.h>

#include <mmsystem.h>

#include "foundation/clock.h"

uint32_t TimeMs() {
  return timeGetTime();
}
