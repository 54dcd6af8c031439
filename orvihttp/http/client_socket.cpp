#include "orvihttp/http/client_socket.h"

#include <algorithm>
#include <climits>

#include "foundation/clock.h"

ClientSocket::~ClientSocket() {
  CloseHandle(true);
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
  char chunk[kReceiveSize];
  const SocketTransfer received = ReceiveSome(handle_, chunk, kReceiveSize);
  if (received.result == SocketResult::WouldBlock) return false;
  if (received.result != SocketResult::Done) {
    connected_ = false;
    return true;
  }
  buffer_.append(chunk, static_cast<std::size_t>(received.bytes));
  return true;
}

std::string ClientSocket::ReadLine() {
  auto refuse = [this] {
    connected_ = false;
    buffer_.clear();
    return std::string();
  };
  std::size_t end = buffer_.find('\n');
  if (end == std::string::npos) {
    if (handle_ == kInvalidSocket) return "";
    char chunk[kReceiveSize];
    const SocketTransfer received = ReceiveSome(handle_, chunk, kReceiveSize);
    if (received.result == SocketResult::WouldBlock) return "";
    if (received.result != SocketResult::Done) {
      connected_ = false;
      return "";
    }
    std::size_t old = buffer_.size();
    buffer_.append(chunk, static_cast<std::size_t>(received.bytes));
    end = buffer_.find('\n', old);
    if (end == std::string::npos) {
      // A peer that never ends its line must not grow the buffer forever.
      if (buffer_.size() > kMaxLineLength) return refuse();
      return "";
    }
  }
  if (end + 1 > kMaxLineLength) return refuse();
  for (std::size_t i = 0; i <= end; ++i) {
    if (static_cast<unsigned char>(buffer_[i]) >= 0x80) return refuse();
  }
  std::string line = buffer_.substr(0, end + 1);
  buffer_.erase(0, end + 1);
  return line;
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
  char chunk[kReceiveSize];
  SocketTransfer received;
  const SocketWait wait =
      ReceiveWithin(handle_, chunk, kReceiveSize, milliseconds, wakeup_, &received);
  if (wait != SocketWait::Ready) return wait;
  if (received.result == SocketResult::Done) {
    buffer_.append(chunk, static_cast<std::size_t>(received.bytes));
  } else if (received.result != SocketResult::WouldBlock) {
    connected_ = false;
  }
  return SocketWait::Ready;
}

SocketTransfer ClientSocket::Receive(char* buffer, int length, uint32_t milliseconds) {
  if (handle_ == kInvalidSocket) return {SocketResult::Failed, 0};
  uint32_t start = TimeMs();
  while (true) {
    uint32_t spent = TimeMs() - start;
    if (spent >= milliseconds) return {SocketResult::TimedOut, 0};
    SocketWait wait = WaitReadable(milliseconds - spent);
    if (wait == SocketWait::TimedOut) return {SocketResult::TimedOut, 0};
    if (wait != SocketWait::Ready) return {SocketResult::Failed, 0};
    const SocketTransfer received = ReceiveSome(handle_, buffer, length);
    if (received.result != SocketResult::WouldBlock) return received;
  }
}

bool ClientSocket::Send(const char* bytes, std::size_t length) {
  if (handle_ == kInvalidSocket) return false;
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
    if (received.result == SocketResult::WouldBlock) return true;
    if (received.result != SocketResult::Done) return false;
    closingDrained_ += static_cast<std::size_t>(received.bytes);
  }
  return false;
}
