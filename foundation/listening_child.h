#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A child program that serves connections on an endpoint of its own, the way
// FastCGI programs run under a web server: the parent makes the endpoint,
// hands it to the child as its standard input (the child has no standard
// output or error), and connects to it for each exchange.
//
// On Linux the endpoint is a Unix socket in a fresh folder only this user may
// enter; on Windows a named pipe of one instance that only this user may
// open, which the child waits on again after each connection. Nothing else on
// the machine can hand the child work.

class LocalConnection {
 public:
  virtual ~LocalConnection() = default;

  // Writes all bytes; false on an error (the child went away) or when the
  // calling Thread is being stopped.
  virtual bool Write(const char* bytes, std::size_t length) = 0;
  // Reads up to `length` bytes, waiting at most `milliseconds` for some: the
  // count, 0 when the child closed its end, kTimedOut, or -1 on an error or
  // when the calling Thread is being stopped (the wait is woken by the stop).
  static constexpr std::ptrdiff_t kTimedOut = -2;
  virtual std::ptrdiff_t ReadWithin(char* buffer, std::size_t length, uint32_t milliseconds) = 0;
};

class ListeningChild {
 public:
  // Ends the child when it still runs and removes the endpoint.
  virtual ~ListeningChild() = default;

  // False once the child has ended, for whatever reason.
  virtual bool Running() = 0;
  // A connection to the child, waiting up to `milliseconds` while the child
  // is busy or not yet listening. Nothing when it has ended, did not take the
  // connection in time, or the calling Thread is being stopped.
  virtual std::unique_ptr<LocalConnection> Connect(uint32_t milliseconds) = 0;
};

// Starts `commandLine` (as OpenChildProcess does: no shell, no console
// window, the parent's environment with `environment` entries in place of any
// of the same name). Nothing when the endpoint or the process cannot be made.
std::unique_ptr<ListeningChild> StartListeningChild(const std::string& commandLine,
                                                    const std::vector<std::string>& environment);
