#include "orvihttp/http/client_socket.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "foundation/clock.h"
#include "orvihttp/http/socket_transport.h"
#include "orvihttp/tls/tls_session.h"

ClientSocket::ClientSocket() = default;

ClientSocket::~ClientSocket() {
  CloseHandle(true);
}

void ClientSocket::StartTls(const TlsServerConfig& config) {
  transport_ = std::make_unique<SocketTransport>(handle_);
  tls_ = std::make_unique<TlsSession>(config, *transport_);
  handshakeDone_ = false;
}

void ClientSocket::NoteRead(const SocketTransfer& received, int asked) {
  drained_ = received.result != SocketResult::Done || received.bytes < asked;
}

SocketResult ClientSocket::ReceiveIntoBuffer() {
  if (handle_ == kInvalidSocket) return SocketResult::Failed;
  if (tls_) return ReceiveTls();
  char chunk[kReceiveSize];
  const SocketTransfer received = ReceiveSome(handle_, chunk, kReceiveSize);
  NoteRead(received, kReceiveSize);
  if (received.result == SocketResult::Done) {
    buffer_.append(chunk, static_cast<std::size_t>(received.bytes));
  }
  return received.result;
}

SocketResult ClientSocket::ReceiveTls() {
  if (!handshakeDone_) {
    // The records of one flight go out in one send, an alert of a failed
    // handshake included.
    transport_->StartGathering();
    const TlsStatus status = tls_->Handshake();
    const std::string flight = transport_->TakeGathered();
    if (!SendPlain(flight.data(), flight.size())) return SocketResult::Failed;
    if (status == TlsStatus::WantsRead) return SocketResult::WouldBlock;
    if (status != TlsStatus::Done) return SocketResult::Failed;
    handshakeDone_ = true;
  }
  // Everything the session has decrypted comes out now: bytes left inside
  // it would not make the socket readable, and the connection would wait
  // for them in vain.
  bool any = false;
  char chunk[16 * 1024];
  while (true) {
    const TlsResult read = tls_->Read(chunk, sizeof chunk);
    if (read.status == TlsStatus::Done) {
      buffer_.append(chunk, read.bytes);
      any = true;
      continue;
    }
    if (read.status == TlsStatus::WantsWrite) {
      if (!WaitWritable()) return SocketResult::Failed;
      continue;
    }
    if (any) return SocketResult::Done;
    if (read.status == TlsStatus::WantsRead) return SocketResult::WouldBlock;
    return read.status == TlsStatus::Closed ? SocketResult::Closed : SocketResult::Failed;
  }
}

bool ClientSocket::WaitWritable() {
  return WaitForSocket(handle_, true, kSendStallMs, wakeup_) == SocketWait::Ready;
}

void ClientSocket::CloseHandle(bool shutdownFirst) {
  std::lock_guard<std::mutex> lock(handleMutex_);
  if (handle_ != kInvalidSocket) {
    if (shutdownFirst) ShutdownSocket(handle_, false);
    CloseSocket(handle_);
    handle_ = kInvalidSocket;
  }
  connected_ = false;
}

void ClientSocket::Attach(SocketHandle socket) {
  CloseHandle(true);
  tls_.reset();
  transport_.reset();
  handshakeDone_ = false;
  std::lock_guard<std::mutex> lock(handleMutex_);
  handle_ = socket;
  connected_ = socket != kInvalidSocket;
  buffer_.clear();
}

bool ClientSocket::IsClosed() const {
  return handle_ == kInvalidSocket || !connected_;
}

bool ClientSocket::HasBufferedLine() const {
  return buffer_.find('\n') != std::string::npos;
}

bool ClientSocket::ReceiveArrived() {
  if (handle_ == kInvalidSocket) return false;
  const SocketResult received = ReceiveIntoBuffer();
  if (received == SocketResult::WouldBlock) return false;
  if (received != SocketResult::Done) connected_ = false;
  return true;
}

namespace {

// Whether any of `length` bytes has its top bit set; eight at a time, as
// every line of every request is checked.
bool HasHighByte(const char* bytes, std::size_t length) {
  constexpr uint64_t kTopBits = 0x8080808080808080u;
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t eight;
    std::memcpy(&eight, bytes + i, sizeof eight);
    if (eight & kTopBits) return true;
  }
  for (; i < length; ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return true;
  }
  return false;
}

}  // namespace

bool ClientSocket::ReadLine(std::string& line) {
  auto refuse = [this] {
    connected_ = false;
    buffer_.clear();
    return false;
  };
  std::size_t end = buffer_.find('\n');
  if (end == std::string::npos) {
    if (handle_ == kInvalidSocket) return false;
    const std::size_t old = buffer_.size();
    const SocketResult received = ReceiveIntoBuffer();
    if (received == SocketResult::WouldBlock) return false;
    if (received != SocketResult::Done) {
      connected_ = false;
      return false;
    }
    end = buffer_.find('\n', old);
    if (end == std::string::npos) {
      // A peer that never ends its line must not grow the buffer forever.
      if (buffer_.size() > kMaxLineLength) return refuse();
      return false;
    }
  }
  if (end + 1 > kMaxLineLength) return refuse();
  if (HasHighByte(buffer_.data(), end + 1)) return refuse();
  line.assign(buffer_, 0, end + 1);
  buffer_.erase(0, end + 1);
  return true;
}

std::size_t ClientSocket::TakeBuffered(char* buffer, std::size_t length) {
  std::size_t count = std::min(length, buffer_.size());
  std::copy_n(buffer_.data(), count, buffer);
  buffer_.erase(0, count);
  return count;
}

SocketWait ClientSocket::WaitReadable(uint32_t milliseconds) {
  return WaitForSocket(handle_, false, milliseconds, wakeup_);
}

SocketWait ClientSocket::WaitAndReceive(uint32_t milliseconds) {
  if (tls_) {
    const SocketWait wait = WaitReadable(milliseconds);
    if (wait != SocketWait::Ready) return wait;
    const SocketResult received = ReceiveIntoBuffer();
    if (received != SocketResult::Done && received != SocketResult::WouldBlock) connected_ = false;
    return SocketWait::Ready;
  }
  char chunk[kReceiveSize];
  SocketTransfer received;
  const SocketWait wait =
      ReceiveWithin(handle_, chunk, kReceiveSize, milliseconds, wakeup_, &received);
  if (wait != SocketWait::Ready) return wait;
  NoteRead(received, kReceiveSize);
  if (received.result == SocketResult::Done) {
    buffer_.append(chunk, static_cast<std::size_t>(received.bytes));
  } else if (received.result != SocketResult::WouldBlock) {
    connected_ = false;
  }
  return SocketWait::Ready;
}

SocketTransfer ClientSocket::Receive(char* buffer, int length, uint32_t milliseconds) {
  if (handle_ == kInvalidSocket) return {SocketResult::Failed, 0};
  if (tls_) {
    // Decrypted bytes arrive in the buffer first and are handed on from there.
    const uint32_t start = TimeMs();
    while (buffer_.empty()) {
      const SocketResult received = ReceiveIntoBuffer();
      if (received == SocketResult::Done) break;
      if (received != SocketResult::WouldBlock) return {received, 0};
      const uint32_t spent = TimeMs() - start;
      if (spent >= milliseconds) return {SocketResult::TimedOut, 0};
      const SocketWait wait = WaitReadable(milliseconds - spent);
      if (wait == SocketWait::TimedOut) return {SocketResult::TimedOut, 0};
      if (wait != SocketWait::Ready) return {SocketResult::Failed, 0};
    }
    const std::size_t taken = TakeBuffered(buffer, static_cast<std::size_t>(length));
    return {SocketResult::Done, static_cast<int>(taken)};
  }
  uint32_t start = TimeMs();
  while (true) {
    uint32_t spent = TimeMs() - start;
    if (spent >= milliseconds) return {SocketResult::TimedOut, 0};
    SocketWait wait = WaitReadable(milliseconds - spent);
    if (wait == SocketWait::TimedOut) return {SocketResult::TimedOut, 0};
    if (wait != SocketWait::Ready) return {SocketResult::Failed, 0};
    const SocketTransfer received = ReceiveSome(handle_, buffer, length);
    NoteRead(received, length);
    if (received.result != SocketResult::WouldBlock) return received;
  }
}

bool ClientSocket::Send(const char* bytes, std::size_t length) {
  if (handle_ == kInvalidSocket) return false;
  if (tls_) return SendTls(bytes, length);
  return SendPlain(bytes, length);
}

bool ClientSocket::SendPlain(const char* bytes, std::size_t length) {
  while (length > 0) {
    int piece = static_cast<int>(std::min<std::size_t>(length, INT_MAX));
    const SocketTransfer sent = SendSome(handle_, bytes, piece);
    if (sent.result == SocketResult::WouldBlock) {
      if (WaitForSocket(handle_, true, kSendStallMs, wakeup_) != SocketWait::Ready) return false;
      continue;
    }
    if (sent.result != SocketResult::Done) return false;
    bytes += sent.bytes;
    length -= static_cast<std::size_t>(sent.bytes);
  }
  return true;
}

bool ClientSocket::Send(std::string_view first, std::string_view second) {
  if (handle_ == kInvalidSocket) return false;
  if (tls_) {
    // One record for both, as for bytes sent together.
    std::string joined;
    joined.reserve(first.size() + second.size());
    joined.append(first).append(second);
    return SendTls(joined.data(), joined.size());
  }
  // Each gathered piece stays below INT_MAX; whatever the gathered sends
  // leave of the second piece goes out as before.
  if (second.empty() || first.size() + second.size() > INT_MAX / 2) {
    return Send(first.data(), first.size()) && Send(second.data(), second.size());
  }
  while (!first.empty()) {
    const SocketTransfer sent = SendSomeOfTwo(handle_, first.data(), static_cast<int>(first.size()),
                                              second.data(), static_cast<int>(second.size()));
    if (sent.result == SocketResult::WouldBlock) {
      if (WaitForSocket(handle_, true, kSendStallMs, wakeup_) != SocketWait::Ready) return false;
      continue;
    }
    if (sent.result != SocketResult::Done) return false;
    const std::size_t moved = static_cast<std::size_t>(sent.bytes);
    if (moved < first.size()) {
      first.remove_prefix(moved);
    } else {
      second.remove_prefix(moved - first.size());
      first = {};
    }
  }
  return Send(second.data(), second.size());
}

bool ClientSocket::SendTls(const char* bytes, std::size_t length) {
  if (!handshakeDone_) return false;
  while (length > 0) {
    const TlsResult sent = tls_->Write(bytes, length);
    if (sent.status == TlsStatus::Done) return true;
    if (sent.status != TlsStatus::WantsWrite) return false;
    // The session sends the record it sealed first, so the rest goes again.
    bytes += sent.bytes;
    length -= sent.bytes;
    if (!WaitWritable()) return false;
  }
  return true;
}

std::string ClientSocket::PeerAddress() const {
  return SocketPeerAddress(handle_);
}

void ClientSocket::Abort() {
  std::lock_guard<std::mutex> lock(handleMutex_);
  if (handle_ != kInvalidSocket) ShutdownSocket(handle_, false);
  connected_ = false;
}

void ClientSocket::CloseGracefully(uint32_t milliseconds) {
  if (handle_ == kInvalidSocket) return;
  BeginClosing();
  const uint32_t start = TimeMs();
  while (true) {
    const uint32_t spent = TimeMs() - start;
    if (spent >= milliseconds) break;
    if (WaitReadable(milliseconds - spent) != SocketWait::Ready) break;
    if (!DrainWhileClosing()) break;
  }
  FinishClosing();
}

void ClientSocket::BeginClosing() {
  closingDrained_ = 0;
  // The client learns that the response is complete; one try, since a full
  // socket at this point only costs the alert.
  if (tls_ && handshakeDone_) tls_->Close();
  if (handle_ != kInvalidSocket) ShutdownSocket(handle_, true);
}

bool ClientSocket::DrainWhileClosing() {
  // Closing with unread input would reset the connection, and a reset can
  // overtake the end of the response on its way to the peer.
  constexpr std::size_t kMaxDrained = 1024 * 1024;
  if (handle_ == kInvalidSocket) return false;
  char scratch[4096];
  while (closingDrained_ < kMaxDrained) {
    const SocketTransfer received = ReceiveSome(handle_, scratch, sizeof scratch);
    NoteRead(received, sizeof scratch);
    if (received.result == SocketResult::WouldBlock) return true;
    if (received.result != SocketResult::Done) return false;
    closingDrained_ += static_cast<std::size_t>(received.bytes);
  }
  return false;
}
