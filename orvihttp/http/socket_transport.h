#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "orvihttp/http/socket_io.h"
#include "orvihttp/tls/tls_transport.h"

// A non-blocking socket as a TLS session's byte stream: it never waits, and
// tells the session when the socket would block.
class SocketTransport : public TlsTransport {
 public:
  explicit SocketTransport(SocketHandle socket) : socket_(socket) {}
  TransportResult Send(const char* data, std::size_t size) override;
  TransportResult Receive(char* buffer, std::size_t size) override;

  // While gathering, sends are kept here instead of going out: a handshake
  // flight is several small records, and a send of each would cost a trip
  // through the network stack on both ends. The caller takes them, which
  // ends the gathering, and sends them together.
  void StartGathering() { gathering_ = true; }
  std::string TakeGathered() {
    gathering_ = false;
    return std::exchange(gathered_, std::string());
  }

 private:
  SocketHandle socket_;
  bool gathering_ = false;
  std::string gathered_;
};
