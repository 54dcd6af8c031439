#pragma once

#include <string>

// The real Trellan program run as a child process by a test. Whatever is still
// running when the object goes away is told to end, and killed if it does not.
class HostProcess {
 public:
  HostProcess() = default;
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  // Starts `program` with this process's environment; its standard output and
  // error are appended to `outputFile`.
  bool Start(const std::string& program, const std::string& outputFile);
  // Asks the host to end as a user would: SIGTERM on Linux, HostQuit to its
  // window on Windows.
  void RequestExit();
  // SIGINT on Linux, as Ctrl+C in a terminal; on Windows the host's named
  // quit event, as trellan-quit sets it when it cannot see the host's window.
  void Interrupt();
  // True once the process has ended (within `timeoutMs`).
  bool WaitForExit(int timeoutMs);
  bool Running();
  int exitCode() const { return exitCode_; }

 private:
  void Kill();

  struct Handle;
  Handle* handle_ = nullptr;
  int exitCode_ = -1;
};

// The program file name on this platform: "Trellan" or "Trellan.exe".
std::string ProgramFileName(const std::string& base);
// Removes the host's registry Path value, as on a machine where it never ran.
void ForgetHostRegistryPath();
