#include <cstdio>

#include "foundation/debug_output.h"

void WriteDebugLine(const char* text) noexcept {
  std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
}
