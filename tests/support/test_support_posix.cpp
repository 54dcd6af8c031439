#include <signal.h>

#include <cstdlib>

#include "tests/support/test_support.h"

void SetEnvironment(const std::string& name, const std::string& value) {
  if (value.empty()) {
    unsetenv(name.c_str());
  } else {
    setenv(name.c_str(), value.c_str(), 1);
  }
}

std::string LibraryFileName(const std::string& base) {
  return base + ".so";
}

bool KillProcess(long processId) {
  return processId > 0 && kill(static_cast<pid_t>(processId), SIGKILL) == 0;
}

bool ProcessRunning(long processId) {
  return processId > 0 && kill(static_cast<pid_t>(processId), 0) == 0;
}
