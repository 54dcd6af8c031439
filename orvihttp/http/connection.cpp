#include "orvihttp/http/connection.h"

#include "foundation/clock.h"
#include "orvihttp/access/basic_credentials.h"
#include "orvihttp/content/error_page.h"
#include "orvihttp/http/connection_limits.h"
#include "orvihttp/http/https_redirect.h"
#include "orvihttp/http/memory_budget.h"
#include "orvihttp/http/route_request.h"
#include "orvihttp/http/server.h"
#include "orvihttp/http/sign_in_exchange.h"
#include "orvihttp/logging/access_log.h"
#include "orvihttp/logging/log_escaping.h"
#include "orvihttp/logging/log_file.h"

Connection::Connection(Server& server, SocketHandle socket, uint32_t connectionId,
                       std::string peerAddress, std::shared_ptr<DownloadSlot> share,
                       std::shared_ptr<const TlsServerConfig> tls)
    : server_(server),
      connectionId_(connectionId),
      lastActivity_(NowMs()),
      tls_(std::move(tls)),
      peerAddress_(std::move(peerAddress)),
      share_(std::move(share)),
      sender_(server, socket_, wakeup_, peerAddress_, *share_) {
  socket_.Attach(socket);
  socket_.SetWakeup(&wakeup_);
  if (tls_) socket_.StartTls(*tls_);
}

Connection::~Connection() {
  Stop();
  server_.clients().pool().Leave(this);
}

std::string Connection::CurrentActivity() const {
  std::lock_guard<std::mutex> lock(activityMutex_);
  return activityShown_.load() ? currentActivity_ : std::string();
}

void Connection::SetActivity(const std::string& activity) {
  if (activity == activity_) return;
  activity_ = activity;
  // The end of a request only hides the name, and a client that asks for
  // the same file again only shows it again: neither takes the lock.
  if (activity.empty()) {
    activityShown_.store(false);
    return;
  }
  // Written only by this thread, so it may be read here without the lock.
  if (activity != currentActivity_) {
    std::lock_guard<std::mutex> lock(activityMutex_);
    currentActivity_ = activity;
  }
  activityShown_.store(true);
}

void Connection::Kick() {
  socket_.Abort();
  wakeup_.Wake();
}

// Runs once per run: on the kicking or stopping thread, or on this thread
// when it ends by itself.
void Connection::OnThreadStop() {
  Kick();
  MarkFinished();
}

void Connection::MarkFinished() {
  server_.clients().MarkFinished(connectionId_);
}

bool Connection::ReadWithoutWait() {
  constexpr int kSkipAfterMiss = 8;
  if (readsToSkip_ > 0) {
    --readsToSkip_;
    return false;
  }
  if (socket_.ReceiveArrived()) return true;
  readsToSkip_ = kSkipAfterMiss;
  return false;
}

void Connection::Run() {
  BeginServing();
  ServeTurn(false, false);
  EndServing();
}

void Connection::BeginServing() {
  limits_ = CurrentConnectionLimits();
  alive_ = !socket_.IsClosed();
  lastActivity_ = NowMs();
}

// A new connection counts as idle only once a wait has found nothing: its
// first request may already be in the socket, unread because this thread
// has only just started, and it must not be the one to give way.
bool Connection::ServeTurn(bool mayPark, bool readable) {
  while (alive_) {
    if (socket_.IsClosed() || wakeup_.IsWoken()) break;
    // A request head sent a line at a time, each just inside the idle time,
    // would otherwise hold the connection and its thread for hours.
    if (headStartMs_ >= 0 && NowMs() - headStartMs_ > limits_.headDeadlineMs) break;
    // Lines of a following request that came with the previous one are
    // taken at once rather than after the next packet, and a request that
    // is already waiting is taken without asking the system to wait for it.
    bool arrived = socket_.HasBufferedLine();
    if (!arrived && readable) arrived = socket_.ReceiveArrived();
    readable = false;
    // In the pool, a plain socket read empty is reported again when bytes
    // arrive: looking once more would only cost a call.
    const bool reported = mayPark && ReportsOnlyArrivals() && socket_.Drained();
    if (!arrived && (reported || !ReadWithoutWait())) {
      if (mayPark) {
        // The pool waits for the rest, with no thread; a head sent slowly
        // holds none either.
        if (headStartMs_ < 0 && idleSince_.load(std::memory_order_relaxed) < 0) {
          idleSince_.store(lastActivity_, std::memory_order_relaxed);
        }
        return true;
      }
      uint32_t waitMs = kReceiveWaitMs;
      if (headStartMs_ >= 0) {
        const int64_t left = headStartMs_ + limits_.headDeadlineMs - NowMs() + 1;
        if (left < waitMs) waitMs = left > 0 ? static_cast<uint32_t>(left) : 1;
      }
      SocketWait wait = socket_.WaitAndReceive(waitMs);
      if (wait == SocketWait::Woken || wait == SocketWait::Failed) break;
      if (wait == SocketWait::TimedOut) {
        // A quiet spell: look without a wait again, in case the system's
        // note of arrived bytes went missing.
        readsToSkip_ = 0;
        if (headStartMs_ < 0 && idleSince_.load(std::memory_order_relaxed) < 0) {
          idleSince_.store(lastActivity_, std::memory_order_relaxed);
        }
        if (NowMs() > lastActivity_ + kIdleTimeoutSeconds * 1000) break;
        continue;
      }
    }
    if (headStartMs_ < 0) {
      headStartMs_ = NowMs();
      idleSince_.store(-1, std::memory_order_relaxed);
    }
    bool more = true;
    bool gotLine = false;
    while (more && alive_) {
      if (!socket_.ReadLine(line_)) break;
      gotLine = true;
      lastActivity_ = NowMs();
      if (headStartMs_ < 0) headStartMs_ = lastActivity_;
      requestBytes_ += line_.size();
      if (requestBytes_ > kMaxHeaderBlock) {
        // Too big a request ends the connection unanswered, as a bad byte does.
        alive_ = false;
        break;
      }
      more = ProcessLine(line_);
      if (!more) {
        requestBytes_ = 0;
        headStartMs_ = -1;
        lastActivity_ = NowMs();
        if (!socket_.HasBufferedLine()) idleSince_.store(lastActivity_, std::memory_order_relaxed);
      }
    }
    // Bytes that never make a line must not keep the connection forever.
    if (!gotLine && NowMs() > lastActivity_ + kIdleTimeoutSeconds * 1000) break;
  }
  return false;
}

bool Connection::ContinueClosing() {
  if (wakeup_.IsWoken()) return false;
  if (closingSinceMs_ < 0) {
    if (!closeGracefully_) return false;
    // Whoever sees the connection end finds its lines in the logs.
    FlushLogs(server_.logs());
    socket_.BeginClosing();
    closingSinceMs_ = NowMs();
  }
  return socket_.DrainWhileClosing();
}

void Connection::EndServing() {
  idleSince_.store(-1, std::memory_order_relaxed);
  FlushLogs(server_.logs());
  if (closingSinceMs_ >= 0) {
    socket_.FinishClosing();
  } else if (closeGracefully_ && !wakeup_.IsWoken()) {
    socket_.CloseGracefully(kGracefulCloseMs);
  } else {
    socket_.Attach(kInvalidSocket);
  }
}

bool Connection::IdleTooLong(int64_t nowMs) const {
  if (closingSinceMs_ >= 0) return nowMs - closingSinceMs_ > kGracefulCloseMs;
  if (headStartMs_ >= 0 && nowMs - headStartMs_ > limits_.headDeadlineMs) return true;
  return nowMs > lastActivity_ + kIdleTimeoutSeconds * 1000;
}

void Connection::ServeRequest() {
  // Plain HTTP goes over to HTTPS while that is served.
  if (!tls_ && settings_->redirectToHttps) {
    const int httpsPort = server_.listener().HttpsPort();
    if (httpsPort > 0) {
      SendResponse(HttpsRedirect(request_, httpsPort, SocketLocalAddress(socket_.Handle())));
      return;
    }
  }
  // The sign-in page's addresses exist only while there are rules.
  if (server_.access().Active() && ServeSignInPage()) return;
  using Outcome = AccessGate::Decision::Outcome;
  switch (access_.outcome) {
    case Outcome::Allowed:
      break;
    case Outcome::SignInNeeded: {
      // A password is only asked for where it travels encrypted, when it can.
      const int httpsPort = tls_ ? 0 : server_.listener().HttpsPort();
      if (httpsPort > 0) {
        SendResponse(HttpsRedirect(request_, httpsPort, SocketLocalAddress(socket_.Handle())));
      } else if (AsksForAPage(request_) && !access_.failedSignIn) {
        SendResponse(SignInFormResponse(request_, "", tls_ != nullptr, settings_->port));
      } else {
        Response refusal = ErrorPage(401, settings_->port);
        refusal.wwwAuthenticate = kBasicChallenge;
        SendResponse(std::move(refusal));
      }
      return;
    }
    case Outcome::Forbidden:
      SendErrorResponse(403);
      return;
    case Outcome::LockedOut:
      SendErrorResponse(429);
      return;
  }
  if (upload_) {
    ServeUploadRequest();
    return;
  }
  std::optional<Response> response =
      RouteRequest(request_, Context(), [this](const std::string& name) { SetActivity(name); });
  if (response) SendResponse(std::move(*response));
}

AccessGate::Decision Connection::DecideAccess() {
  AccessGate::Decision decision = server_.access().Decide(
      {request_.path, request_.headers.authorization, request_.headers.cookie, peerAddress_,
       IsLoopbackAddress(peerAddress_), upload_ ? upload_->right : FolderRight::See},
      NowMs());
  if (decision.failedSignIn) LogWrongPassword(decision.triedName, decision.lockedOutNow);
  return decision;
}

void Connection::LogWrongPassword(const std::string& name, bool lockedOut) {
  std::string text =
      "Wrong name or password for \"" + EscapeForLog(name) + "\" from " + peerAddress_;
  if (lockedOut) text += "; it may not sign in for the next 15 minutes";
  LogServerNotice(server_.logs(), *settings_, text);
}

bool Connection::ServeSignInPage() {
  const bool signIn = signInForm_ || IsSignInRequest(request_);
  if (!signIn && !IsSignOutRequest(request_)) return false;
  if (!signIn) {
    SendResponse(AnswerSignOut(server_.access(), request_, tls_ != nullptr));
    return true;
  }
  // A password is only taken where it travels encrypted, when it can.
  const int httpsPort = tls_ ? 0 : server_.listener().HttpsPort();
  if (httpsPort > 0) {
    SendResponse(HttpsRedirect(request_, httpsPort, SocketLocalAddress(socket_.Handle())));
  } else if (signInForm_ && FormField(request_.query, "name").empty()) {
    // A form without a name (or one too long to read) is no password guess.
    Response form = SignInFormResponse(request_, "Type your name and password.", tls_ != nullptr,
                                       settings_->port);
    form.status = 400;
    form.wwwAuthenticate.clear();
    SendResponse(std::move(form));
  } else if (signInForm_) {
    SignInAnswer answer =
        AnswerSignInForm(server_.access(), request_, peerAddress_, IsLoopbackAddress(peerAddress_),
                         tls_ != nullptr, settings_->port, NowMs());
    if (answer.result.outcome == AccessGate::SignInResult::Outcome::Wrong) {
      LogWrongPassword(answer.triedName, answer.result.lockedOutNow);
    }
    SendResponse(std::move(answer.response));
  } else {
    Response form = SignInFormResponse(request_, "", tls_ != nullptr, settings_->port);
    form.status = 200;
    form.wwwAuthenticate.clear();
    SendResponse(std::move(form));
  }
  return true;
}

RouteContext Connection::Context() const {
  RouteContext context{*settings_,
                       server_.directory(),
                       tls_ ? server_.listener().HttpsPort() : 0,
                       {},
                       settings_->phpFastCgi ? &server_.phpPrograms() : nullptr};
  if (server_.access().Active()) {
    context.viewer.mayShow = [this](const std::string& folderPath) {
      return server_.access().MaySee(folderPath, access_.account);
    };
    if (access_.fromSession) context.viewer.signedInAs = access_.account;
    // Uploads and deletes are served only in folders marked for uploads.
    const auto mayInMarked = [this](FolderRight right) {
      return [this, right](const std::string& folderPath) {
        AccessGate& access = server_.access();
        return access.UploadFolder(folderPath) &&
               access.Holds(folderPath == "/" ? "/" : folderPath + "/", right, access_.account);
      };
    };
    context.viewer.mayUploadInto = mayInMarked(FolderRight::Upload);
    context.viewer.mayDeleteIn = mayInMarked(FolderRight::Delete);
  }
  return context;
}

void Connection::SendErrorResponse(int code) {
  SendResponse(ErrorPage(code, settings_->port));
}

void Connection::SendResponse(Response&& response) {
  if (!response.activity.empty()) SetActivity(response.activity);
  // A copy: a streamed archive shows each file it adds as the activity, and
  // is recorded under its own name.
  const std::string name = activity_;
  if (!sender_.Send(std::move(response), request_, *settings_, name, access_.account)) {
    closeAfterResponse_ = true;
  }
}

void Connection::SendMalformedResponse(int code) {
  SendErrorResponse(code);
  // A client that sends nothing but faulty requests costs a response and two
  // log lines for every few bytes; after a run of them it is let go.
  if (++malformedInARow_ >= CurrentConnectionLimits().maxMalformedInARow) {
    alive_ = false;
    closeGracefully_ = true;
  }
}

bool Connection::ProcessLine(std::string& received) {
  received = StripLineEnd(std::move(received));
  const std::string& line = received;
  const bool complete = line.empty() ? request_.EndOfHeaders() : request_.FeedLine(line);
  if (!complete) return true;
  server_.RefreshSettings(settings_, settingsGeneration_);

  const Request::Method method = request_.method;
  const std::string& version = request_.version;
  bool closeAfter = false;
  if (method == Request::Method::Other) {
    SendMalformedResponse(501);
  } else if (version != "HTTP/1.0" && version != "HTTP/1.1") {
    SendMalformedResponse(505);
  } else if (version == "HTTP/1.1" && request_.headers.host.empty()) {
    SendMalformedResponse(400);
  } else if (!request_.malformedUri && (upload_ = FindUploadTarget(request_, server_))) {
    // Only a folder marked for uploads gets here; every other request keeps
    // its old answer.
    malformedInARow_ = 0;
    uploadBodyRead_ = false;
    access_ = DecideAccess();
    ServeRequest();
    SetActivity("");
    upload_.reset();
    closeAfter = !uploadBodyRead_;
  } else if (method != Request::Method::Get && method != Request::Method::Head &&
             method != Request::Method::Post) {
    SendMalformedResponse(501);
  } else if (request_.malformedUri) {
    SendMalformedResponse(400);
  } else if (method == Request::Method::Post && (request_.headers.contentLength < 0 ||
                                                 request_.headers.contentLength > kMaxPostBody)) {
    // The body is not read, so what follows on the connection is not a request.
    SendMalformedResponse(400);
    closeAfter = true;
  } else if (method == Request::Method::Post) {
    malformedInARow_ = 0;
    // The sign-in form's address is known only before its body takes the
    // query's place.
    signInForm_ = server_.access().Active() && IsSignInRequest(request_);
    if (!signInForm_) access_ = DecideAccess();
    const int64_t length = request_.headers.contentLength;
    // Only a script or the sign-in form reads a body; for any other target,
    // or a client that may not run it, it is dropped as it comes, so no
    // memory is held for it.
    const bool keep =
        length > 0 && (signInForm_ ? length <= kLongestSignInForm
                                   : access_.outcome == AccessGate::Decision::Outcome::Allowed &&
                                         RouteUsesBody(request_, Context()));
    MemoryReservation reservation;
    if (keep && !reservation.Reserve(static_cast<std::size_t>(length))) {
      // Too many bodies held at once: this one is refused unread.
      SendErrorResponse(503);
      closeAfter = true;
    } else {
      if (!ReadPostBody(length, keep)) {
        alive_ = false;
        return false;
      }
      ServeRequest();
      SetActivity("");
      if (keep) std::string().swap(request_.query);
    }
  } else {
    malformedInARow_ = 0;
    if (!ServeUploadProgress()) {
      if (!access_.failedSignIn) access_ = DecideAccess();
      ServeRequest();
    }
    SetActivity("");
  }
  access_ = AccessGate::Decision();
  signInForm_ = false;

  if (request_.headers.connectionMode == HeaderFields::kClose || closeAfter ||
      closeAfterResponse_) {
    alive_ = false;
    closeGracefully_ = true;
  } else {
    request_.Reset();
  }
  return false;
}

bool Connection::ReadPostBody(int64_t length, bool keep) {
  const ConnectionLimits limits = CurrentConnectionLimits();
  std::string body;
  if (keep) body.reserve(static_cast<std::size_t>(length < 65536 ? length : 65536));
  char piece[16384];
  int64_t remaining = length;
  int64_t received = 0;
  const int64_t start = NowMs();
  while (remaining > 0) {
    const std::size_t want = static_cast<std::size_t>(
        remaining < static_cast<int64_t>(sizeof piece) ? remaining : sizeof piece);
    std::size_t got = socket_.TakeBuffered(piece, want);
    if (got == 0) {
      const SocketTransfer transfer =
          socket_.Receive(piece, static_cast<int>(want), kIdleTimeoutSeconds * 1000u);
      // A body that makes no progress for the idle time ends the connection.
      if (transfer.result == SocketResult::TimedOut) return false;
      if (transfer.result != SocketResult::Done) {
        body.clear();
        break;
      }
      got = static_cast<std::size_t>(transfer.bytes);
    }
    if (keep) body.append(piece, got);
    remaining -= static_cast<int64_t>(got);
    received += static_cast<int64_t>(got);
    // A body trickled in just fast enough to beat the idle time would hold
    // the connection for days.
    const int64_t elapsed = NowMs() - start;
    if (remaining > 0 && elapsed > limits.bodyGraceMs &&
        received * 1000 < static_cast<int64_t>(limits.minBodyRate) * elapsed) {
      return false;
    }
  }
  if (!body.empty()) {
    const std::size_t nul = body.find('\0');
    if (nul != std::string::npos) body.resize(nul);
    request_.query = std::move(body);
  }
  return true;
}
