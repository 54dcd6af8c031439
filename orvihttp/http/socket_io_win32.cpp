#include <windows.h>
#include <winsock2.h>

#include <ws2tcpip.h>

#include <cstdio>

#include "orvihttp/http/socket_io.h"

namespace {

SOCKET Sock(SocketHandle handle) {
  return static_cast<SOCKET>(handle);
}

SocketHandle Handle(SOCKET socket) {
  return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(socket);
}

// Child processes (the PHP gateway) must not inherit the server's sockets.
void Prepare(SOCKET socket) {
  SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
  u_long on = 1;
  ioctlsocket(socket, FIONBIO, &on);
}

timeval Timeout(uint32_t milliseconds) {
  timeval result{};
  result.tv_sec = static_cast<long>(milliseconds / 1000);
  result.tv_usec = static_cast<long>((milliseconds % 1000) * 1000);
  return result;
}

}  // namespace

namespace {

HANDLE EventOf(SocketHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// Waits with select alone: for callers without a wakeup, or when the wakeup's
// events could not be made (then in short slices that look at its flag).
SocketWait SelectWait(SOCKET socket, bool forWriting, uint32_t milliseconds, SocketWakeup* wakeup) {
  while (true) {
    fd_set read{};
    fd_set write{};
    fd_set error{};
    FD_ZERO(&read);
    FD_ZERO(&write);
    FD_ZERO(&error);
    FD_SET(socket, forWriting ? &write : &read);
    // A refused non-blocking operation shows up here rather than as readable.
    FD_SET(socket, &error);
    uint32_t wait = wakeup && milliseconds > 50 ? 50 : milliseconds;
    timeval timeout = Timeout(wait);
    int result = select(0, &read, &write, &error, &timeout);
    if (result == SOCKET_ERROR) return SocketWait::Failed;
    if (wakeup && wakeup->IsWoken()) return SocketWait::Woken;
    if (result > 0) return SocketWait::Ready;
    if (!wakeup || milliseconds <= wait) return SocketWait::TimedOut;
    milliseconds -= wait;
  }
}

}  // namespace

// Two kernel events, not sockets: a wake must not spend an ephemeral port or
// a socket of the machine for every connection.
SocketWakeup::SocketWakeup() {
  HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  WSAEVENT readiness = WSACreateEvent();
  if (wake == nullptr || readiness == WSA_INVALID_EVENT) {
    if (wake != nullptr) CloseHandle(wake);
    if (readiness != WSA_INVALID_EVENT) WSACloseEvent(readiness);
    return;
  }
  handle_ = reinterpret_cast<SocketHandle>(wake);
  readiness_ = reinterpret_cast<SocketHandle>(readiness);
}

SocketWakeup::~SocketWakeup() {
  if (handle_ != kInvalidSocket) CloseHandle(EventOf(handle_));
  if (readiness_ != kInvalidSocket) WSACloseEvent(EventOf(readiness_));
}

void SocketWakeup::Wake() {
  if (woken_.exchange(true, std::memory_order_acq_rel)) return;
  // Manual reset: once set it stays set, so every later wait returns at once.
  if (handle_ != kInvalidSocket) SetEvent(EventOf(handle_));
}

bool SocketWakeup::Sleep(uint32_t milliseconds) {
  if (IsWoken()) return false;
  if (handle_ == kInvalidSocket) {
    while (milliseconds > 0 && !IsWoken()) {
      uint32_t slice = milliseconds < 50 ? milliseconds : 50;
      ::Sleep(slice);
      milliseconds -= slice;
    }
    return !IsWoken();
  }
  WaitForSingleObject(EventOf(handle_), milliseconds);
  return !IsWoken();
}

namespace {

// How long a wait on a fresh tie trusts it alone (see WaitForSocket).
constexpr uint32_t kFreshTieLookMs = 100;

}  // namespace

SocketWait WaitForSocket(SocketHandle socket, bool forWriting, uint32_t milliseconds,
                         SocketWakeup* wakeup) {
  if (socket == kInvalidSocket) return SocketWait::Failed;
  if (!wakeup) return SelectWait(Sock(socket), forWriting, milliseconds, nullptr);
  if (wakeup->IsWoken()) return SocketWait::Woken;
  if (wakeup->handle() == kInvalidSocket) {
    return SelectWait(Sock(socket), forWriting, milliseconds, wakeup);
  }
  HANDLE readiness = EventOf(wakeup->readiness());
  // Reading also watches for queued clients, so a listening socket waits the
  // same way.
  const long events = (forWriting ? FD_WRITE : FD_READ | FD_ACCEPT) | FD_CLOSE;
  const bool tyingAnew = wakeup->tiedSocket_ != socket || wakeup->tiedEvents_ != events;
  if (tyingAnew) {
    if (WSAEventSelect(Sock(socket), readiness, events) == SOCKET_ERROR) {
      wakeup->tiedSocket_ = kInvalidSocket;
      return SocketWait::Failed;
    }
    wakeup->tiedSocket_ = socket;
    wakeup->tiedEvents_ = events;
  }
  // A new tie records only what happens from then on (Wine does not record a
  // client already queued or data already waiting, nor does Windows record
  // room to send that came back earlier), so look once before waiting. A kept
  // tie has recorded everything since the last wait.
  DWORD result = WAIT_TIMEOUT;
  HANDLE handles[2] = {readiness, EventOf(wakeup->handle())};
  if (tyingAnew && SelectWait(Sock(socket), forWriting, 0, nullptr) == SocketWait::Ready) {
    result = WAIT_OBJECT_0;
  } else if (tyingAnew && milliseconds > kFreshTieLookMs) {
    // Under Wine a fresh tie now and then misses bytes that arrive just
    // after it, and the wait would last its whole time: it is looked at once
    // more after a short while.
    result = WaitForMultipleObjects(2, handles, FALSE, kFreshTieLookMs);
    if (result == WAIT_TIMEOUT) {
      if (SelectWait(Sock(socket), forWriting, 0, nullptr) == SocketWait::Ready) {
        result = WAIT_OBJECT_0;
      } else {
        result = WaitForMultipleObjects(2, handles, FALSE, milliseconds - kFreshTieLookMs);
      }
    }
  } else {
    result = WaitForMultipleObjects(2, handles, FALSE, milliseconds);
  }
  // Clears what was recorded and the event, so the next wait starts afresh.
  // What was recorded may be older than what the caller has since read; a
  // wait that returns for it costs one receive that would block.
  WSANETWORKEVENTS happened{};
  WSAEnumNetworkEvents(Sock(socket), readiness, &happened);
  if (wakeup->IsWoken()) return SocketWait::Woken;
  if (result == WAIT_OBJECT_0) return SocketWait::Ready;
  if (result == WAIT_TIMEOUT) return SocketWait::TimedOut;
  return SocketWait::Failed;
}

SocketWait WaitForClient(SocketHandle listening, uint32_t milliseconds, SocketWakeup* wakeup) {
  // Wine records a queued client only as the queue fills from empty, not
  // again after an accept leaves others waiting, so a listening socket is
  // tied anew, and looked at, for every wait.
  if (wakeup) wakeup->tiedSocket_ = kInvalidSocket;
  return WaitForSocket(listening, false, milliseconds, wakeup);
}

ListenResult OpenListeningSocket(int port, SocketHandle* result) {
  *result = kInvalidSocket;
  SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) return ListenResult::NoSocket;
  Prepare(socket);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<u_short>(port));
  if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    closesocket(socket);
    return ListenResult::BindFailed;
  }
  if (listen(socket, SOMAXCONN) != 0) {
    closesocket(socket);
    return ListenResult::ListenFailed;
  }
  *result = Handle(socket);
  return ListenResult::Listening;
}

SocketHandle ConnectToLoopback(int port) {
  return ConnectToAddress("127.0.0.1", port);
}

SocketHandle ConnectToAddress(const std::string& text, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr(text.c_str());
  if (address.sin_addr.s_addr == INADDR_NONE) return kInvalidSocket;
  address.sin_port = htons(static_cast<u_short>(port));
  SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) return kInvalidSocket;
  if (connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    closesocket(socket);
    return kInvalidSocket;
  }
  Prepare(socket);
  BOOL on = TRUE;
  setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return Handle(socket);
}

SocketHandle AcceptConnection(SocketHandle listening, bool* failed) {
  *failed = false;
  SOCKET socket = accept(Sock(listening), nullptr, nullptr);
  if (socket == INVALID_SOCKET) {
    const int error = WSAGetLastError();
    // A client that gave up before it was taken is no failure of ours.
    *failed = error != WSAEWOULDBLOCK && error != WSAECONNRESET && error != WSAEINTR;
    return kInvalidSocket;
  }
  Prepare(socket);
  // An accepted socket inherits the listening socket's event tie: every
  // request on it would wake the listener for nothing until its own
  // connection ties it anew, which one that never waits never does.
  WSAEventSelect(socket, nullptr, 0);
  // The header block and the body go out in separate sends; without this
  // the body of a small file waits for the client's delayed ACK.
  BOOL on = TRUE;
  setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return Handle(socket);
}

namespace {

SocketTransfer Outcome(int result, bool receiving) {
  if (result > 0 || (result == 0 && !receiving)) return {SocketResult::Done, result};
  if (result == 0) return {SocketResult::Closed, 0};
  return {WSAGetLastError() == WSAEWOULDBLOCK ? SocketResult::WouldBlock : SocketResult::Failed, 0};
}

}  // namespace

SocketWait ReceiveWithin(SocketHandle socket, char* buffer, int length, uint32_t milliseconds,
                         SocketWakeup* wakeup, SocketTransfer* received) {
  const SocketWait wait = WaitForSocket(socket, false, milliseconds, wakeup);
  if (wait != SocketWait::Ready) return wait;
  *received = ReceiveSome(socket, buffer, length);
  return SocketWait::Ready;
}

SocketTransfer ReceiveSome(SocketHandle socket, char* buffer, int length) {
  return Outcome(recv(Sock(socket), buffer, length, 0), true);
}

SocketTransfer SendSome(SocketHandle socket, const char* bytes, int length) {
  return Outcome(send(Sock(socket), bytes, length, 0), false);
}

SocketTransfer SendSomeOfTwo(SocketHandle socket, const char* first, int firstLength,
                             const char* second, int secondLength) {
  WSABUF pieces[2] = {{static_cast<ULONG>(firstLength), const_cast<char*>(first)},
                      {static_cast<ULONG>(secondLength), const_cast<char*>(second)}};
  DWORD sent = 0;
  if (WSASend(Sock(socket), pieces, 2, &sent, 0, nullptr, nullptr) != 0) {
    return Outcome(SOCKET_ERROR, false);
  }
  return {SocketResult::Done, static_cast<int>(sent)};
}

void ShutdownSocket(SocketHandle socket, bool sendSideOnly) {
  if (socket == kInvalidSocket) return;
  shutdown(Sock(socket), sendSideOnly ? SD_SEND : SD_BOTH);
}

void CloseSocket(SocketHandle socket) {
  if (socket != kInvalidSocket) closesocket(Sock(socket));
}

std::string SocketPeerAddress(SocketHandle socket) {
  if (socket == kInvalidSocket) return "";
  sockaddr_in address{};
  int length = sizeof address;
  if (getpeername(Sock(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return "";
  if (address.sin_family != AF_INET) return "";
  const auto* bytes = reinterpret_cast<const unsigned char*>(&address.sin_addr.s_addr);
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

std::string SocketLocalAddress(SocketHandle socket) {
  if (socket == kInvalidSocket) return "";
  sockaddr_in address{};
  int length = sizeof address;
  if (getsockname(Sock(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return "";
  if (address.sin_family != AF_INET) return "";
  const auto* bytes = reinterpret_cast<const unsigned char*>(&address.sin_addr.s_addr);
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

int SocketLocalPort(SocketHandle socket) {
  if (socket == kInvalidSocket) return 0;
  sockaddr_in address{};
  int length = sizeof address;
  if (getsockname(Sock(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}
