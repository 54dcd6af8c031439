#include <windows.h>

#include <mmsystem.h>

#include <chrono>

#include "foundation/clock.h"

uint32_t TimeMs() {
  return timeGetTime();
}

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
