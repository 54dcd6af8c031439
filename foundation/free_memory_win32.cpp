#include <malloc.h>

#include "foundation/free_memory.h"

void ReturnFreeMemory() {
  _heapmin();
}
