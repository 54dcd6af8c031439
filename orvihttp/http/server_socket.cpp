#include "orvihttp/http/server_socket.h"

ListenResult ServerSocket::Open(int port) {
  Close();
  return OpenListeningSocket(port, &handle_);
}

SocketHandle ServerSocket::Accept(uint32_t seconds, SocketWakeup* wakeup, bool* failed) {
  *failed = false;
  if (handle_ == kInvalidSocket) return kInvalidSocket;
  // A client already queued is taken without a wait, so a burst drains the
  // queue, and every wait starts after a refused accept, which is when
  // Windows records the next arrival.
  SocketHandle client = AcceptConnection(handle_, failed);
  if (client != kInvalidSocket || *failed) return client;
  if (WaitForClient(handle_, seconds * 1000, wakeup) != SocketWait::Ready) {
    return kInvalidSocket;
  }
  return AcceptConnection(handle_, failed);
}

void ServerSocket::Close() {
  CloseSocket(handle_);
  handle_ = kInvalidSocket;
}
