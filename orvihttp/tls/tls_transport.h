#pragma once

#include <cstddef>

// The byte stream a TLS session runs over, supplied by its caller (a
// non-blocking socket, or a buffer in a test). Neither call may wait.

enum class TransportStatus {
  Done,        // `bytes` moved, at least one
  WouldBlock,  // nothing can move until the stream is ready again
  Closed,      // a receive found the end of the peer's stream
  Failed,      // the stream broke
};

struct TransportResult {
  TransportStatus status = TransportStatus::Failed;
  size_t bytes = 0;
};

class TlsTransport {
 public:
  virtual ~TlsTransport() = default;
  // Sends up to `size` bytes (a send may take fewer).
  virtual TransportResult Send(const char* data, size_t size) = 0;
  // Receives up to `size` bytes.
  virtual TransportResult Receive(char* buffer, size_t size) = 0;
};
