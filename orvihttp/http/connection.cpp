#include "orvihttp/http/connection.h"

#include <chrono>

#include "foundation/settings.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/http/client_registry.h"

namespace {

int64_t NowSeconds() {
  using namespace std::chrono;
  return duration_cast<seconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Connection::Connection(SocketHandle socket, uint32_t connectionId) : connectionId_(connectionId) {
  socket_.Attach(socket);
  socket_.SetWakeup(&wakeup_);
}

Connection::~Connection() {
  Stop();
}

std::string Connection::CurrentActivity() const {
  std::lock_guard<std::mutex> lock(activityMutex_);
  return currentActivity_;
}

void Connection::SetActivity(const std::string& activity) {
  std::lock_guard<std::mutex> lock(activityMutex_);
  currentActivity_ = activity;
}

BandwidthShare Connection::Share() const {
  BandwidthShare share;
  share.currentRate = currentRate_.load(std::memory_order_relaxed);
  share.rateCeiling = rateCeiling_.load(std::memory_order_relaxed);
  share.allowedRate = allowedRate_.load(std::memory_order_relaxed);
  return share;
}

void Connection::Kick() {
  socket_.Abort();
  wakeup_.Wake();
}

// Runs once per run: on the kicking or stopping thread, or on this thread
// when it ends by itself.
void Connection::OnThreadStop() {
  Kick();
  MarkClientFinished(connectionId_);
}

void Connection::Run() {
  alive_ = !socket_.IsClosed();
  if (alive_) peerAddress_ = PeerAddressOf(connectionId_);
  int64_t lastActivity = NowSeconds();
  while (alive_) {
    if (socket_.IsClosed() || wakeup_.IsWoken()) break;
    // Lines of a following request that came with the previous one are
    // taken at once rather than after the next packet.
    if (!socket_.HasBufferedLine()) {
      SocketWait wait = socket_.WaitReadable(1000);
      if (wait == SocketWait::Woken || wait == SocketWait::Failed) break;
      if (wait == SocketWait::TimedOut) {
        if (NowSeconds() > lastActivity + kIdleTimeoutSeconds) break;
        continue;
      }
    }
    bool more = true;
    bool gotLine = false;
    while (more && alive_) {
      std::string line = socket_.ReadLine();
      if (line.empty()) break;
      gotLine = true;
      lastActivity = NowSeconds();
      requestBytes_ += line.size();
      if (requestBytes_ > kMaxHeaderBlock) {
        // Too big a request ends the connection unanswered, as a bad byte does.
        alive_ = false;
        break;
      }
      more = ProcessLine(line);
      if (!more) requestBytes_ = 0;
    }
    // Bytes that never make a line must not keep the connection forever.
    if (!gotLine && NowSeconds() > lastActivity + kIdleTimeoutSeconds) break;
  }
  if (closeGracefully_ && !wakeup_.IsWoken()) {
    socket_.CloseGracefully(kGracefulCloseMs);
  } else {
    socket_.Attach(kInvalidSocket);
  }
}

bool Connection::ProcessLine(const std::string& received) {
  const std::string line = StripLineEnd(received);
  const bool complete = line.empty() ? request_.EndOfHeaders() : request_.FeedLine(line);
  if (!complete) return true;

  const Request::Method method = request_.method;
  const std::string& version = request_.version;
  bool closeAfter = false;
  if (method == Request::Method::Other) {
    SendErrorResponse(501);
  } else if (version != "HTTP/1.0" && version != "HTTP/1.1") {
    SendErrorResponse(505);
  } else if (version == "HTTP/1.1" && request_.headers.host.empty()) {
    SendErrorResponse(400);
  } else if (method != Request::Method::Get && method != Request::Method::Head &&
             method != Request::Method::Post) {
    SendErrorResponse(501);
  } else if (request_.malformedUri) {
    SendErrorResponse(400);
  } else if (method == Request::Method::Post && (request_.headers.contentLength < 0 ||
                                                 request_.headers.contentLength > kMaxPostBody)) {
    // The body is not read, so what follows on the connection is not a request.
    SendErrorResponse(400);
    closeAfter = true;
  } else {
    if (method == Request::Method::Post && !ReadPostBody(request_.headers.contentLength)) {
      alive_ = false;
      return false;
    }
    ServeRequest();
    SetActivity("");
  }

  if (request_.headers.connectionMode == HeaderFields::kClose || closeAfter ||
      closeAfterResponse_) {
    alive_ = false;
    closeGracefully_ = true;
  } else {
    request_.Reset();
  }
  return false;
}

bool Connection::ReadPostBody(int64_t length) {
  std::string body;
  body.reserve(static_cast<std::size_t>(length < 65536 ? length : 65536));
  char piece[16384];
  int64_t remaining = length;
  while (remaining > 0) {
    const std::size_t want = static_cast<std::size_t>(
        remaining < static_cast<int64_t>(sizeof piece) ? remaining : sizeof piece);
    std::size_t got = socket_.TakeBuffered(piece, want);
    if (got == 0) {
      const SocketTransfer received =
          socket_.Receive(piece, static_cast<int>(want), kIdleTimeoutSeconds * 1000u);
      // A body that makes no progress for the idle time ends the connection.
      if (received.result == SocketResult::TimedOut) return false;
      if (received.result != SocketResult::Done) {
        body.clear();
        break;
      }
      got = static_cast<std::size_t>(received.bytes);
    }
    body.append(piece, got);
    remaining -= static_cast<int64_t>(got);
  }
  if (!body.empty()) request_.query = body.substr(0, body.find('\0'));
  return true;
}
