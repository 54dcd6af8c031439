#pragma once

#include <string>
#include <vector>

#include "tests/host/host_process.h"
#include "tests/support/test_support.h"

// A temporary installation of the real host: <root>/Trellan[.exe],
// <root>/Plugins/..., with the registry's Path pointing at <root> and the
// recording plugin writing its calls into output.txt, where the host's own
// standard output goes as well.
class InstalledHost {
 public:
  // `recordingSettings`: extra Dovetab lines for the recording plugin.
  explicit InstalledHost(const std::string& recordingSettings = std::string());
  ~InstalledHost();

  // Copies a fixture library into the Plugins folder ("Sub/B.so" style paths
  // use the platform's separator through JoinPath by the caller).
  void Put(const std::string& fixture, const std::string& relative);
  // A plugin file name with the platform's suffix.
  static std::string Lib(const std::string& base);

  bool Start(HostProcess& process);
  std::vector<std::string> Lines() const;
  // Waits until `line` occurs `count` times in the output.
  bool WaitForLine(const std::string& line, int count = 1, int timeoutMs = 20000) const;
  int CountOf(const std::string& line) const;

  const std::string& root() const { return root_.path(); }
  std::string plugins() const;
  std::string temp() const;
  std::string settingsFile() const;
  const std::string& output() const { return output_; }

 private:
  TempFolder root_;
  std::string program_;
  std::string output_;
};
