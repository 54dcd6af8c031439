#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What bounds one client and all of them together, so that slow or hostile
// clients cannot hold the server's threads, memory or descriptors. Fixed
// values, not settings; tests lower them through the setter to stay short.
struct ConnectionLimits {
  // A request's line and headers must all arrive within this from the first
  // byte, whatever the pace of its lines.
  uint32_t headDeadlineMs = 20 * 1000;
  // A request body must keep at least this average rate (bytes per second)
  // once its first `bodyGraceMs` have passed.
  uint32_t minBodyRate = 1024;
  uint32_t bodyGraceMs = 10 * 1000;
  // Connections at once when `MaxUsers` sets none; the descriptor limit may
  // lower it further (see ConnectionCeiling).
  std::size_t maxConnections = 4096;
  // Connections at once from one address other than loopback.
  std::size_t maxPerAddress = 256;
  // Failed requests in a row after which a connection is closed.
  int maxMalformedInARow = 10;
  // The pause of the accept loop after a failed accept.
  uint32_t acceptBackoffMs = 100;
};

// The limits in force. Any thread.
ConnectionLimits CurrentConnectionLimits();
// Tests only.
void SetConnectionLimitsForTesting(const ConnectionLimits& limits);
// The connections the server allows at once: maxConnections, lowered so that
// every connection's descriptors fit below the process's descriptor limit
// with room to spare for files, logs and child processes.
std::size_t ConnectionCeiling();
// True for 127.0.0.0/8, which no per-address ceiling applies to.
bool IsLoopbackAddress(const std::string& address);
