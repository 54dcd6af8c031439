#include <malloc.h>

#include "foundation/free_memory.h"

void ReturnFreeMemory() {
  _heapmin();
}

void LimitMemoryPools() {
  // The Windows heap already serves every thread from the one process heap.
}
