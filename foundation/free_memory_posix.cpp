#include <malloc.h>

#include "foundation/free_memory.h"

void ReturnFreeMemory() {
  // Every arena, not only the top of the main one.
  malloc_trim(0);
}
