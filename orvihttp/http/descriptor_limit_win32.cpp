#include "orvihttp/http/descriptor_limit.h"

// Windows sockets and handles are not counted against a small per-process
// table, so only the fixed ceiling applies.
std::size_t DescriptorLimit() {
  return 0;
}

void RaiseDescriptorLimit() {}
