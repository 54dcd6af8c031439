#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "foundation/blocking_wait.h"
#include "foundation/clock.h"
#include "orvihttp/http/socket_io.h"

namespace {

int Fd(SocketHandle handle) {
  return static_cast<int>(handle);
}

SocketHandle Handle(int fd) {
  return fd < 0 ? kInvalidSocket : static_cast<SocketHandle>(fd);
}

bool WouldBlock(int error) {
  return error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

SocketWakeup::SocketWakeup() {
  handle_ = Handle(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
}

SocketWakeup::~SocketWakeup() {
  if (handle_ != kInvalidSocket) close(Fd(handle_));
}

void SocketWakeup::Wake() {
  if (woken_.exchange(true, std::memory_order_acq_rel)) return;
  if (handle_ != kInvalidSocket) {
    uint64_t one = 1;
    // The counter is never read back, so it stays readable for every later wait.
    ssize_t written = write(Fd(handle_), &one, sizeof one);
    (void)written;
  }
}

bool SocketWakeup::Sleep(uint32_t milliseconds) {
  if (IsWoken()) return false;
  NoteBlockingWait();
  if (handle_ == kInvalidSocket) {
    // No handle to wait on: sleep in short slices and look at the flag.
    while (milliseconds > 0 && !IsWoken()) {
      uint32_t slice = milliseconds < 50 ? milliseconds : 50;
      poll(nullptr, 0, static_cast<int>(slice));
      milliseconds -= slice;
    }
    return !IsWoken();
  }
  pollfd entry{Fd(handle_), POLLIN, 0};
  while (true) {
    int result = poll(&entry, 1, static_cast<int>(milliseconds));
    if (result < 0 && errno == EINTR) continue;
    break;
  }
  return !IsWoken();
}

SocketWait WaitForSocket(SocketHandle socket, bool forWriting, uint32_t milliseconds,
                         SocketWakeup* wakeup) {
  if (socket == kInvalidSocket) return SocketWait::Failed;
  if (wakeup && wakeup->IsWoken()) return SocketWait::Woken;
  if (milliseconds > 0) NoteBlockingWait();
  pollfd entries[2];
  entries[0] = {Fd(socket), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
  nfds_t count = 1;
  bool sliced = wakeup && wakeup->handle() == kInvalidSocket;
  if (wakeup && !sliced) {
    entries[1] = {Fd(wakeup->handle()), POLLIN, 0};
    count = 2;
  }
  while (true) {
    uint32_t wait = sliced && milliseconds > 50 ? 50 : milliseconds;
    int result = poll(entries, count, static_cast<int>(wait));
    if (result < 0) {
      if (errno == EINTR) continue;
      return SocketWait::Failed;
    }
    if (wakeup && wakeup->IsWoken()) return SocketWait::Woken;
    if (result > 0) {
      if (entries[0].revents & POLLNVAL) return SocketWait::Failed;
      // Errors and hang-ups count as ready: the next recv or send reports them.
      if (entries[0].revents != 0) return SocketWait::Ready;
    }
    if (!sliced || milliseconds <= wait) return SocketWait::TimedOut;
    milliseconds -= wait;
  }
}

SocketWait WaitForClient(SocketHandle listening, uint32_t milliseconds, SocketWakeup* wakeup) {
  return WaitForSocket(listening, false, milliseconds, wakeup);
}

ListenResult OpenListeningSocket(int port, SocketHandle* result) {
  *result = kInvalidSocket;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return ListenResult::NoSocket;
  // Lets a restarted server bind while connections of its last run linger in
  // TIME_WAIT; a port another socket listens on is still refused.
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return ListenResult::BindFailed;
  }
  if (listen(fd, SOMAXCONN) != 0) {
    close(fd);
    return ListenResult::ListenFailed;
  }
  *result = Handle(fd);
  return ListenResult::Listening;
}

SocketHandle ConnectToLoopback(int port) {
  return ConnectToAddress("127.0.0.1", port);
}

SocketHandle ConnectToAddress(const std::string& text, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (inet_pton(AF_INET, text.c_str(), &address.sin_addr) != 1) return kInvalidSocket;
  address.sin_port = htons(static_cast<uint16_t>(port));
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kInvalidSocket;
  int result;
  do {
    result = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    close(fd);
    return kInvalidSocket;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return Handle(fd);
}

SocketHandle AcceptConnection(SocketHandle listening, bool* failed) {
  *failed = false;
  int fd;
  do {
    fd = accept4(Fd(listening), nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    // A client that gave up before it was taken is no failure of ours.
    *failed = !WouldBlock(errno) && errno != ECONNABORTED && errno != EPROTO;
    return kInvalidSocket;
  }
  // Responses go out as header block and body in separate sends; without
  // this the body of a small file waits for the client's delayed ACK.
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  // The socket blocks, but only a receive that means to wait does (every
  // other call says MSG_DONTWAIT), and then for kReceiveWaitMs at most: an
  // idle connection then waits for its next request and reads it in one
  // call instead of a poll and a receive. Without that limit it must not
  // block at all.
  timeval limit{};
  limit.tv_sec = kReceiveWaitMs / 1000;
  limit.tv_usec = (kReceiveWaitMs % 1000) * 1000;
  if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  return Handle(fd);
}

SocketWait ReceiveWithin(SocketHandle socket, char* buffer, int length, uint32_t milliseconds,
                         SocketWakeup* wakeup, SocketTransfer* received) {
  if (socket == kInvalidSocket) return SocketWait::Failed;
  if (wakeup && wakeup->IsWoken()) return SocketWait::Woken;
  if (milliseconds == kReceiveWaitMs) {
    NoteBlockingWait();
    const int64_t start = NowMs();
    ssize_t result;
    do {
      result = recv(Fd(socket), buffer, static_cast<size_t>(length), 0);
    } while (result < 0 && errno == EINTR);
    if (wakeup && wakeup->IsWoken()) return SocketWait::Woken;
    if (result > 0) {
      *received = {SocketResult::Done, static_cast<int>(result)};
      return SocketWait::Ready;
    }
    if (result == 0) {
      *received = {SocketResult::Closed, 0};
      return SocketWait::Ready;
    }
    if (!WouldBlock(errno)) {
      *received = {SocketResult::Failed, 0};
      return SocketWait::Ready;
    }
    // The limit ran out; a socket that does not block at all (not one we
    // accepted) says so at once, and is waited for below instead.
    if (NowMs() - start >= kReceiveWaitMs / 2) return SocketWait::TimedOut;
  }
  const SocketWait wait = WaitForSocket(socket, false, milliseconds, wakeup);
  if (wait != SocketWait::Ready) return wait;
  *received = ReceiveSome(socket, buffer, length);
  return SocketWait::Ready;
}

SocketTransfer ReceiveSome(SocketHandle socket, char* buffer, int length) {
  while (true) {
    ssize_t result = recv(Fd(socket), buffer, static_cast<size_t>(length), MSG_DONTWAIT);
    if (result > 0) return {SocketResult::Done, static_cast<int>(result)};
    if (result == 0) return {SocketResult::Closed, 0};
    if (errno == EINTR) continue;
    return {WouldBlock(errno) ? SocketResult::WouldBlock : SocketResult::Failed, 0};
  }
}

SocketTransfer SendSome(SocketHandle socket, const char* bytes, int length) {
  while (true) {
    ssize_t result =
        send(Fd(socket), bytes, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (result >= 0) return {SocketResult::Done, static_cast<int>(result)};
    if (errno == EINTR) continue;
    return {WouldBlock(errno) ? SocketResult::WouldBlock : SocketResult::Failed, 0};
  }
}

SocketTransfer SendSomeOfTwo(SocketHandle socket, const char* first, int firstLength,
                             const char* second, int secondLength) {
  iovec pieces[2] = {{const_cast<char*>(first), static_cast<size_t>(firstLength)},
                     {const_cast<char*>(second), static_cast<size_t>(secondLength)}};
  msghdr message{};
  message.msg_iov = pieces;
  message.msg_iovlen = 2;
  while (true) {
    ssize_t result = sendmsg(Fd(socket), &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (result >= 0) return {SocketResult::Done, static_cast<int>(result)};
    if (errno == EINTR) continue;
    return {WouldBlock(errno) ? SocketResult::WouldBlock : SocketResult::Failed, 0};
  }
}

void ShutdownSocket(SocketHandle socket, bool sendSideOnly) {
  if (socket == kInvalidSocket) return;
  shutdown(Fd(socket), sendSideOnly ? SHUT_WR : SHUT_RDWR);
}

void CloseSocket(SocketHandle socket) {
  if (socket != kInvalidSocket) close(Fd(socket));
}

std::string SocketPeerAddress(SocketHandle socket) {
  if (socket == kInvalidSocket) return "";
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getpeername(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return "";
  if (address.sin_family != AF_INET) return "";
  const auto* bytes = reinterpret_cast<const unsigned char*>(&address.sin_addr.s_addr);
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

std::string SocketLocalAddress(SocketHandle socket) {
  if (socket == kInvalidSocket) return "";
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return "";
  if (address.sin_family != AF_INET) return "";
  const auto* bytes = reinterpret_cast<const unsigned char*>(&address.sin_addr.s_addr);
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

int SocketLocalPort(SocketHandle socket) {
  if (socket == kInvalidSocket) return 0;
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}
