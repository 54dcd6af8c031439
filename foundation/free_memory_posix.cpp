#include <malloc.h>

#include <thread>

#include "foundation/free_memory.h"

void ReturnFreeMemory() {
  // Every arena, not only the top of the main one.
  malloc_trim(0);
}

void LimitMemoryPools() {
  const unsigned processors = std::thread::hardware_concurrency();
  mallopt(M_ARENA_MAX, static_cast<int>(processors < 2 ? 2 : processors));
}
