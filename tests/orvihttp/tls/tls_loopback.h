#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "orvihttp/http/socket_io.h"
#include "orvihttp/http/socket_transport.h"
#include "orvihttp/tls/tls_server_config.h"
#include "orvihttp/tls/tls_session.h"

// What the server side of one loopback connection saw.
struct ServedConnection {
  TlsStatus handshake = TlsStatus::Failed;
  std::string failure;
  std::string version;
  std::string alpn;
  std::string received;  // up to the first line break, when `readLine`
  bool closedCleanly = false;
};

// A listening socket on loopback whose thread serves one client with a TLS
// session of `config`: it shakes hands, reads one line when `readLine`, then
// sends `reply` and a close-notify, driving the session the way the server's
// connection loop will (waiting on the socket for what the session wants).
class OneClientTlsServer {
 public:
  OneClientTlsServer(const TlsServerConfig& config, std::string reply, bool readLine);
  ~OneClientTlsServer();

  int port() const { return port_; }
  // Waits for the served connection to end and returns what it saw.
  const ServedConnection& Finish();

 private:
  void Serve();

  const TlsServerConfig& config_;
  std::string reply_;
  bool readLine_;
  SocketHandle listening_ = kInvalidSocket;
  int port_ = 0;
  ServedConnection served_;
  std::thread thread_;
};
