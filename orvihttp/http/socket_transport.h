#pragma once

#include <cstddef>

#include "orvihttp/http/socket_io.h"
#include "orvihttp/tls/tls_transport.h"

// A non-blocking socket as a TLS session's byte stream: it never waits, and
// tells the session when the socket would block.
class SocketTransport : public TlsTransport {
 public:
  explicit SocketTransport(SocketHandle socket) : socket_(socket) {}
  TransportResult Send(const char* data, std::size_t size) override;
  TransportResult Receive(char* buffer, std::size_t size) override;

 private:
  SocketHandle socket_;
};
