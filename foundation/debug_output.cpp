#include "foundation/debug_output.h"

#include <cstdio>
#include <exception>

void ReportUncaughtException(const char* where) noexcept {
  const char* what = "an unknown exception";
  try {
    throw;
  } catch (const std::exception& failure) {
    what = failure.what();
  } catch (...) {
  }
  char line[512];
  std::snprintf(line, sizeof line, "Uncaught exception in %s: %s", where, what);
  WriteDebugLine(line);
}
