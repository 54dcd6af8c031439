#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "orvihttp/http/socket_io.h"

class TlsServerConfig;
class TlsSession;
class SocketTransport;

// One accepted connection's socket and the bytes received but not yet taken
// as a line. Owned and used by the connection's own thread; only Abort may be
// called from other threads.
class ClientSocket {
 public:
  // Request and header lines are 7-bit and bounded: a longer line ends the
  // connection without a response.
  static constexpr std::size_t kMaxLineLength = 16 * 1024;
  static constexpr int kReceiveSize = 1024;
  // A send that makes no progress for this long gives up.
  static constexpr uint32_t kSendStallMs = 60 * 1000;

  ClientSocket();
  ~ClientSocket();
  ClientSocket(const ClientSocket&) = delete;
  ClientSocket& operator=(const ClientSocket&) = delete;

  // Shuts down and closes any socket held, then holds `socket` (invalid just
  // closes).
  void Attach(SocketHandle socket);
  // From now on the bytes on the socket are TLS under `config`, which must
  // outlive the socket: the handshake comes first, driven by the reads, and
  // every read and send goes through the session. Right after Attach.
  void StartTls(const TlsServerConfig& config);
  bool IsTls() const { return tls_ != nullptr; }
  // True when the last read of the plain socket found it empty afterwards
  // (it would block, or it returned less than asked for): a queue that
  // reports only new arrivals may then be left to report the next one.
  bool Drained() const { return drained_; }
  // Waits in this socket's waits end early once it fires.
  void SetWakeup(SocketWakeup* wakeup) { wakeup_ = wakeup; }

  bool IsClosed() const;
  // The next line including its "\n" into `line` (whose room is reused), or
  // false when no whole line is there yet or the connection ended (a read
  // failed, the peer closed, a line held a byte of 0x80 or above, or a line
  // grew past kMaxLineLength).
  bool ReadLine(std::string& line);
  // True when the buffer already holds a whole line.
  bool HasBufferedLine() const;
  // Takes into the buffer what has already arrived, without waiting: true
  // when bytes came or the connection ended, false when there was nothing.
  bool ReceiveArrived();
  // Takes up to `length` bytes from the front of the receive buffer.
  std::size_t TakeBuffered(char* buffer, std::size_t length);
  // Waits up to `milliseconds` for readable data, then one recv: Done with
  // the bytes, Closed, TimedOut when nothing came in time, or Failed (also
  // on a wake).
  SocketTransfer Receive(char* buffer, int length, uint32_t milliseconds);
  SocketWait WaitReadable(uint32_t milliseconds);
  // Waits up to `milliseconds` for bytes and takes them into the receive
  // buffer (see ReceiveWithin); Ready also when the peer's end or an error
  // came, which leaves the socket closed.
  SocketWait WaitAndReceive(uint32_t milliseconds);

  // Sends all bytes; false when no socket is held, on an error, a wake or a
  // stall. True for an empty buffer.
  bool Send(const char* bytes, std::size_t length);
  bool Send(const std::string& bytes) { return Send(bytes.data(), bytes.size()); }
  // Sends `first` and then `second` as one run of bytes, in one call where
  // the socket takes them at once.
  bool Send(std::string_view first, std::string_view second);

  std::string PeerAddress() const;
  SocketHandle Handle() const { return handle_; }

  // From any thread: shuts the socket down both ways at once, so the peer
  // sees the end now; the owner closes the handle when it leaves.
  void Abort();
  // Closes after a response the peer must not lose: the send side is shut
  // down first and what the peer still sends is read and dropped for up to
  // `milliseconds`, so the close does not reset the connection.
  void CloseGracefully(uint32_t milliseconds);
  // The same close in steps, for a caller that waits elsewhere: Begin shuts
  // the send side down; Drain reads and drops what has arrived, true while
  // the peer may still send; Finish closes the handle.
  void BeginClosing();
  bool DrainWhileClosing();
  void FinishClosing() { CloseHandle(false); }

 private:
  void CloseHandle(bool shutdownFirst);
  // Takes what can be read now into the buffer: Done when bytes came,
  // WouldBlock when none did (over TLS also while the handshake or a record
  // is still incomplete), Closed or Failed, which end the connection.
  SocketResult ReceiveIntoBuffer();
  SocketResult ReceiveTls();
  bool SendTls(const char* bytes, std::size_t length);
  // Sends bytes straight to the socket: plain HTTP, or records the TLS
  // session sealed.
  bool SendPlain(const char* bytes, std::size_t length);
  void NoteRead(const SocketTransfer& received, int asked);
  // Waits for the socket to take more bytes; false on a stall, a wake or an
  // error.
  bool WaitWritable();

  mutable std::mutex handleMutex_;  // the handle against Abort from other threads
  SocketHandle handle_ = kInvalidSocket;
  std::atomic<bool> connected_{false};
  std::string buffer_;
  SocketWakeup* wakeup_ = nullptr;
  std::size_t closingDrained_ = 0;
  std::unique_ptr<SocketTransport> transport_;
  std::unique_ptr<TlsSession> tls_;
  bool handshakeDone_ = false;
  bool drained_ = false;
};
