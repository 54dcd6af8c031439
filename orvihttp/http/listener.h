#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "orvihttp/config/server_settings.h"

enum class ListenerStart {
  Listening,        // started now, or running already
  PortUnavailable,  // the port could not be opened; the server stays stopped
};

class Server;

// The listening side of one server: the listening socket and the accept
// thread. Each call takes the Listener's lock. Connections already accepted
// are not touched by a stop.
class Listener {
 public:
  explicit Listener(Server& server);
  // Stops.
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // Opens the port of the `Port` setting and starts the accept thread; does
  // nothing while it runs. With `HTTPS` on, the `HTTPSPort` opens too, unless
  // its certificate cannot serve or the port cannot be opened, which is
  // logged; the result is that of the plain port. A port that cannot be opened is written to the
  // access log and the Log page; telling the user is the caller's part, once
  // this call has let go of the Listener's lock, so that a box waiting for the
  // user holds up no one else.
  ListenerStart Start();
  // Ends the accept thread and closes the listening socket.
  void Stop();
  // True while the accept thread runs.
  bool IsListening();
  // The port actually listened on, 0 when stopped (tests listen on port 0).
  int Port();
  // When the server last started, seconds since 1970 (the Info page's uptime).
  int64_t StartTime() const { return startTime_.load(); }
  // The port HTTPS is served on, 0 while it is not.
  int HttpsPort() const { return httpsPort_.load(); }

 private:
  class AcceptLoop;

  // With `HTTPS` on, the HTTPS port beside the plain one.
  void StartHttps(const ServerSettings& settings);

  Server& server_;
  std::mutex mutex_;
  std::unique_ptr<AcceptLoop> loop_;       // plain HTTP
  std::unique_ptr<AcceptLoop> httpsLoop_;  // HTTPS, once it was on
  std::atomic<int> httpsPort_{0};
  std::atomic<int64_t> startTime_{0};
};
