#include "orvihttp/http/server_socket.h"

ListenResult ServerSocket::Open(int port) {
  Close();
  return OpenListeningSocket(port, &handle_);
}

SocketHandle ServerSocket::Accept(uint32_t seconds, SocketWakeup* wakeup, bool* failed) {
  *failed = false;
  if (handle_ == kInvalidSocket) return kInvalidSocket;
  if (WaitForSocket(handle_, false, seconds * 1000, wakeup) != SocketWait::Ready) {
    return kInvalidSocket;
  }
  return AcceptConnection(handle_, failed);
}

void ServerSocket::Close() {
  CloseSocket(handle_);
  handle_ = kInvalidSocket;
}
