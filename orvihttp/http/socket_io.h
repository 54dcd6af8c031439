#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// The server's thin layer over the system's sockets (BSD sockets on Linux,
// Winsock on Windows). Every socket handed out here is non-blocking and not
// inherited by child processes; every wait can be cut short from another
// thread through a SocketWakeup.

// A socket of either platform: an int file descriptor on Linux, a SOCKET on
// Windows. The invalid value is all bits set on both.
using SocketHandle = uintptr_t;
inline constexpr SocketHandle kInvalidSocket = ~static_cast<SocketHandle>(0);

enum class SocketWait { Ready, TimedOut, Woken, Failed };

// Wakes a worker out of its socket waits and sleeps from another thread. Once
// woken it stays woken: every later wait on it returns at once.
class SocketWakeup {
 public:
  SocketWakeup();
  ~SocketWakeup();
  SocketWakeup(const SocketWakeup&) = delete;
  SocketWakeup& operator=(const SocketWakeup&) = delete;

  // Safe from any thread, any number of times.
  void Wake();
  bool IsWoken() const { return woken_.load(std::memory_order_acquire); }
  // Sleeps up to `milliseconds`; false when woken instead.
  bool Sleep(uint32_t milliseconds);

  // What a wait watches besides its socket (an eventfd on Linux, a
  // manual-reset event on Windows); invalid when none could be made, in which
  // case waits fall back to short slices that look at the flag.
  SocketHandle handle() const { return handle_; }
  // Windows: the event a wait ties its socket's readiness to, so that one
  // wait covers the socket and the wake without a second socket.
  SocketHandle readiness() const { return readiness_; }

 private:
  std::atomic<bool> woken_{false};
  SocketHandle handle_ = kInvalidSocket;
  SocketHandle readiness_ = kInvalidSocket;
  // Windows: the socket and events the readiness event is tied to. Waits on
  // the same socket in the same direction keep the tie, which saves a call
  // per wait.
  [[maybe_unused]] SocketHandle tiedSocket_ = kInvalidSocket;
  [[maybe_unused]] long tiedEvents_ = 0;

  friend SocketWait WaitForSocket(SocketHandle socket, bool forWriting, uint32_t milliseconds,
                                  SocketWakeup* wakeup);
  friend SocketWait WaitForClient(SocketHandle listening, uint32_t milliseconds,
                                  SocketWakeup* wakeup);
};

// Waits until the socket is readable (or writable), the time runs out, or the
// wakeup fires. A null wakeup waits plainly.
SocketWait WaitForSocket(SocketHandle socket, bool forWriting, uint32_t milliseconds,
                         SocketWakeup* wakeup);

// Waits until a client is queued on a listening socket, the time runs out or
// the wakeup fires.
SocketWait WaitForClient(SocketHandle listening, uint32_t milliseconds, SocketWakeup* wakeup);

enum class ListenResult { Listening, NoSocket, BindFailed, ListenFailed };
// An IPv4 TCP socket on every local address at `port`, listening with the
// system's largest backlog, so a burst of clients is queued rather than
// refused; on failure `*result` is invalid.
ListenResult OpenListeningSocket(int port, SocketHandle* result);
// A client connection to 127.0.0.1 at `port` (blocking connect, then
// non-blocking like the rest), or invalid.
SocketHandle ConnectToLoopback(int port);
// The same to the IPv4 address `address` in dotted-decimal text.
SocketHandle ConnectToAddress(const std::string& address, int port);
// One pending connection of a listening socket, or invalid. `*failed` tells
// an error of the system (out of descriptors or memory) from there being no
// connection to take.
SocketHandle AcceptConnection(SocketHandle listening, bool* failed);

// What one receive or send came to.
enum class SocketResult {
  Done,        // `bytes` moved (a send may move fewer than asked)
  Closed,      // a receive found the peer's end of the stream
  WouldBlock,  // nothing can move without waiting
  Failed,      // an error, or a wait that was woken
  TimedOut,    // a receive with a time limit got nothing in time
};
struct SocketTransfer {
  SocketResult result = SocketResult::Failed;
  int bytes = 0;
};
SocketTransfer ReceiveSome(SocketHandle socket, char* buffer, int length);
SocketTransfer SendSome(SocketHandle socket, const char* bytes, int length);
// Sends from `first` and then `second` in one call, as if they were one run
// of bytes: a head and a body already in memory go out without being joined.
SocketTransfer SendSomeOfTwo(SocketHandle socket, const char* first, int firstLength,
                             const char* second, int secondLength);

// The wait of an idle connection for its next request.
inline constexpr uint32_t kReceiveWaitMs = 1000;
// Waits up to `milliseconds` for something to read and reads it: Ready with
// `received` set (bytes, the peer's end, an error, or WouldBlock when the
// bytes were gone again), otherwise as WaitForSocket. Where the system lets
// an accepted socket's receive wait kReceiveWaitMs by itself, that wait and
// the read are one call; a kick, which shuts the socket down, ends it.
SocketWait ReceiveWithin(SocketHandle socket, char* buffer, int length, uint32_t milliseconds,
                         SocketWakeup* wakeup, SocketTransfer* received);

void ShutdownSocket(SocketHandle socket, bool sendSideOnly);
void CloseSocket(SocketHandle socket);

// The peer's IPv4 address as dotted-decimal text; "" when it cannot be told.
std::string SocketPeerAddress(SocketHandle socket);
// The local IPv4 address a connected socket was reached at, as dotted-decimal
// text; "" when it cannot be told.
std::string SocketLocalAddress(SocketHandle socket);
// The local port a socket is bound to, 0 when it cannot be told.
int SocketLocalPort(SocketHandle socket);
