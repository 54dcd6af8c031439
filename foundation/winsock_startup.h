#pragma once

// Prepares the socket layer once per module image: Winsock 2.2 on Windows
// (with the "Fatal Error" box when it is missing); elsewhere it makes a write
// to a closed socket an error instead of a signal. Each deliverable defines
// one static instance.
class WinsockStartup {
 public:
  WinsockStartup();
  ~WinsockStartup();
  WinsockStartup(const WinsockStartup&) = delete;
  WinsockStartup& operator=(const WinsockStartup&) = delete;

  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};
