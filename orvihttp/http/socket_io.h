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

  // The handle a wait adds to its set (an eventfd on Linux, a loopback UDP
  // socket on Windows); invalid when none could be made, in which case waits
  // fall back to short slices that look at the flag.
  SocketHandle handle() const { return handle_; }

 private:
  std::atomic<bool> woken_{false};
  SocketHandle handle_ = kInvalidSocket;
  [[maybe_unused]] uint16_t port_ = 0;  // Windows: where the wake datagram goes
};

enum class SocketWait { Ready, TimedOut, Woken, Failed };

// Waits until the socket is readable (or writable), the time runs out, or the
// wakeup fires. A null wakeup waits plainly.
SocketWait WaitForSocket(SocketHandle socket, bool forWriting, uint32_t milliseconds,
                         SocketWakeup* wakeup);

// An IPv4 TCP socket on every local address at `port`, listening with a
// backlog of 5. 0 success, 2 no socket, 3 bind failed, 4 listen failed.
int OpenListeningSocket(int port, SocketHandle* result);
// A client connection to 127.0.0.1 at `port` (blocking connect, then
// non-blocking like the rest), or invalid.
SocketHandle ConnectToLoopback(int port);
// One pending connection of a listening socket, or invalid.
SocketHandle AcceptConnection(SocketHandle listening);

// Results of ReceiveSome and SendSome besides byte counts.
inline constexpr int kSocketError = -1;
inline constexpr int kSocketWouldBlock = -2;
// One recv: the byte count, 0 when the peer closed, or one of the above.
int ReceiveSome(SocketHandle socket, char* buffer, int length);
// One send: the byte count (maybe fewer than asked), or one of the above.
int SendSome(SocketHandle socket, const char* bytes, int length);

void ShutdownSocket(SocketHandle socket, bool sendSideOnly);
void CloseSocket(SocketHandle socket);

// The peer's IPv4 address as dotted-decimal text; "" when it cannot be told.
std::string SocketPeerAddress(SocketHandle socket);
// The local port a socket is bound to, 0 when it cannot be told.
int SocketLocalPort(SocketHandle socket);
