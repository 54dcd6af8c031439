#include <windows.h>

#include <cstdlib>

#include "tests/support/test_support.h"

void SetEnvironment(const std::string& name, const std::string& value) {
  SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
  _putenv_s(name.c_str(), value.c_str());
}

std::string LibraryFileName(const std::string& base) {
  return base + ".dll";
}

bool KillProcess(long processId) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(processId));
  if (!process) return false;
  const bool ended = TerminateProcess(process, 9) != 0;
  CloseHandle(process);
  return ended;
}

bool ProcessRunning(long processId) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId));
  if (!process) return false;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}
