// The connection's side of an upload: it hands the upload code the body as
// it arrives, with the bounds every request body has, and sends the answer.
#include <climits>

#include "foundation/clock.h"
#include "orvihttp/http/connection.h"
#include "orvihttp/http/server.h"

namespace {

bool AsksToContinue(const std::string& expect) {
  static const char kWord[] = "100-continue";
  if (expect.size() != sizeof kWord - 1) return false;
  for (std::size_t i = 0; i < expect.size(); ++i) {
    char c = expect[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kWord[i]) return false;
  }
  return true;
}

}  // namespace

void Connection::ServeUploadRequest() {
  uploadBodyBegun_ = false;
  uploadReceived_ = 0;
  SetActivity(upload_->name);
  UploadCall call{
      server_,
      *settings_,
      request_,
      peerAddress_,
      access_.account,
      [this](char* buffer, std::size_t length) { return ReadUploadBody(buffer, length); },
      [this](const std::string& name) { SetActivity(name); }};
  UploadAnswer answer = ServeUpload(*upload_, call);
  uploadRate_.store(0, std::memory_order_relaxed);
  uploadBodyRead_ = answer.bodyRead;
  if (answer.response) {
    SendResponse(std::move(*answer.response));
  } else {
    // The body broke off: nothing is left to answer.
    alive_ = false;
  }
}

std::size_t Connection::ReadUploadBody(char* buffer, std::size_t length) {
  if (!uploadBodyBegun_) {
    uploadBodyBegun_ = true;
    // A client that waits for leave to send the body gets it only now that
    // the upload is accepted.
    if (request_.version == "HTTP/1.1" && AsksToContinue(request_.headers.expect)) {
      socket_.Send("HTTP/1.1 100 Continue\r\n\r\n");
    }
    uploadStartMs_ = NowMs();
  }
  if (length == 0 || wakeup_.IsWoken() || socket_.IsClosed()) return 0;
  std::size_t got = socket_.TakeBuffered(buffer, length);
  if (got == 0) {
    const int want =
        length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
    const SocketTransfer transfer = socket_.Receive(buffer, want, kIdleTimeoutSeconds * 1000u);
    // A body that makes no progress for the idle time ends the connection.
    if (transfer.result != SocketResult::Done || transfer.bytes <= 0) return 0;
    got = static_cast<std::size_t>(transfer.bytes);
  }
  uploadReceived_ += static_cast<int64_t>(got);
  lastActivity_ = NowMs();
  // A body trickled in just fast enough to beat the idle time would hold
  // the connection for days.
  const ConnectionLimits limits = CurrentConnectionLimits();
  const int64_t elapsed = lastActivity_ - uploadStartMs_;
  // Over at least a second, so the first bytes do not show a wild rate.
  const int64_t rate = uploadReceived_ * 1000 / (elapsed > 1000 ? elapsed : 1000);
  uploadRate_.store(rate > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(rate),
                    std::memory_order_relaxed);
  if (elapsed > limits.bodyGraceMs &&
      uploadReceived_ * 1000 < static_cast<int64_t>(limits.minBodyRate) * elapsed) {
    return 0;
  }
  return got;
}

bool Connection::ServeUploadProgress() {
  if (request_.method != Request::Method::Head) return false;
  std::optional<UploadTarget> query = FindResumeQuery(request_, server_);
  if (!query) return false;
  // Only one who may upload here learns how far an upload came; anyone
  // else gets the answer a HEAD always had.
  upload_ = std::move(query);
  AccessGate::Decision decision = DecideAccess();
  std::optional<Response> progress;
  if (decision.outcome == AccessGate::Decision::Outcome::Allowed) {
    progress = ResumeProgress(*upload_, peerAddress_, decision.account);
  }
  upload_.reset();
  if (!progress) {
    // A wrong password was counted once already: asking again would count
    // it twice.
    if (decision.failedSignIn) access_ = decision;
    return false;
  }
  access_ = decision;
  SendResponse(std::move(*progress));
  return true;
}
