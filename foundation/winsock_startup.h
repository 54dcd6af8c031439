#pragma once

#include <string>

// How a failure to prepare the sockets reaches the user: the text and the
// caption of the box a deliverable shows. This layer opens no window itself.
using StartupFailureReport = void (*)(const std::string& text, const std::string& caption);

// Prepares the socket layer once per module image: Winsock 2.2 on Windows
// (reporting "Winsock 2.2 not available!" through `report` when it is
// missing); elsewhere it makes a write to a closed socket an error instead of
// a signal. Each deliverable defines one static instance.
class WinsockStartup {
 public:
  explicit WinsockStartup(StartupFailureReport report = nullptr);
  ~WinsockStartup();
  WinsockStartup(const WinsockStartup&) = delete;
  WinsockStartup& operator=(const WinsockStartup&) = delete;

  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};
