#include "tests/orvihttp/http/open_descriptors.h"

// Handle counts on Windows move with threads and the loader; not a socket count.
int OpenDescriptorCount() {
  return -1;
}
