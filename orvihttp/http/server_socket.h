#pragma once

#include <cstdint>

#include "orvihttp/http/socket_io.h"

// The listening socket.
class ServerSocket {
 public:
  ServerSocket() = default;
  ~ServerSocket() { Close(); }
  ServerSocket(const ServerSocket&) = delete;
  ServerSocket& operator=(const ServerSocket&) = delete;

  // Closes any socket it already holds first; on failure none is held.
  ListenResult Open(int port);
  // Waits up to `seconds` for a client and accepts it; invalid on a timeout,
  // an error, a wake or when no socket is open. `*failed` is set when the
  // system refused to hand over a waiting client.
  SocketHandle Accept(uint32_t seconds, SocketWakeup* wakeup, bool* failed);
  void Close();
  bool IsOpen() const { return handle_ != kInvalidSocket; }
  // The port actually bound (tests listen on port 0).
  int LocalPort() const { return SocketLocalPort(handle_); }

 private:
  SocketHandle handle_ = kInvalidSocket;
};
