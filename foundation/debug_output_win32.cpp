#include <windows.h>

#include <cstdio>

#include "foundation/debug_output.h"

void WriteDebugLine(const char* text) noexcept {
  OutputDebugStringA(text);
  OutputDebugStringA("\n");
  std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
}
