#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/thread.h"
#include "orvihttp/access/access_gate.h"
#include "orvihttp/config/server_settings.h"
#include "orvihttp/content/response.h"
#include "orvihttp/http/client_socket.h"
#include "orvihttp/http/connection_limits.h"
#include "orvihttp/http/download_shares.h"
#include "orvihttp/http/request.h"
#include "orvihttp/http/response_sender.h"
#include "orvihttp/http/route_request.h"
#include "orvihttp/http/socket_io.h"
#include "orvihttp/http/upload_exchange.h"
#include "orvihttp/tls/tls_server_config.h"

// One client: its socket and the thread that reads its requests and answers
// them, one after another, until the client closes, a request asks to close,
// the connection is idle for 5 seconds, or it is kicked. Created, numbered
// and started by the client registry, which deletes it after it finished.
class Server;

class Connection : public Thread {
 public:
  static constexpr int kIdleTimeoutSeconds = 5;
  // A request's lines together may not grow past this.
  static constexpr std::size_t kMaxHeaderBlock = 64 * 1024;
  // Bigger POST bodies are answered 400.
  static constexpr int64_t kMaxPostBody = 16 * 1024 * 1024;
  // How long a closing connection reads what the client still sends.
  static constexpr uint32_t kGracefulCloseMs = 2000;

  // What the registry hands a new connection once: its number, the peer
  // address as the listener read it, and its place in the download cap.
  // A connection of the HTTPS port gets its TLS configuration too.
  Connection(Server& server, SocketHandle socket, uint32_t connectionId, std::string peerAddress,
             std::shared_ptr<DownloadSlot> share,
             std::shared_ptr<const TlsServerConfig> tls = nullptr);
  ~Connection() override;

  uint32_t ConnectionId() const { return connectionId_; }
  // The URL name of the file being served, "" when idle. Any thread.
  std::string CurrentActivity() const;
  // Bytes per second of the running transfer, a download's or an upload's,
  // 0 when none. Any thread.
  uint32_t CurrentRate() const {
    const uint32_t sending = share_->currentRate.load(std::memory_order_relaxed);
    return sending != 0 ? sending : uploadRate_.load(std::memory_order_relaxed);
  }

  // When the connection began waiting for a request with nothing of it
  // received yet (steady milliseconds), or -1 while a request is under way.
  // Any thread.
  int64_t IdleSinceMs() const { return idleSince_.load(std::memory_order_relaxed); }

  // From any thread: the socket is shut down at once and the thread leaves
  // its loop at its next wait; the registry joins and deletes it later.
  void Kick();
  // Its registry's entry becomes finished: it will serve no more.
  void MarkFinished();

  // Served by the connection pool instead of a thread of its own: begun
  // once, then turns, each of which answers requests until the connection
  // would wait for the first byte of its next one (true: the pool waits for
  // it, `readable` on the next turn) or has ended (false), then ended once.
  // One thread at a time, and never beside Start().
  void BeginServing();
  bool ServeTurn(bool mayPark, bool readable);
  // After the last turn: a close that must not lose the response begins,
  // or goes on, without holding a thread; true while the pool is to wait
  // for the peer's end (see ClientSocket::DrainWhileClosing).
  bool ContinueClosing();
  bool Closing() const { return closingSinceMs_ >= 0; }
  // Closes the socket; the caller finishes the registry's entry.
  void EndServing();
  // A parked connection past its idle time, with a head under way past its
  // head deadline, or closing for longer than a graceful close may take, is
  // ended by the pool.
  bool IdleTooLong(int64_t nowMs) const;
  SocketHandle Socket() const { return socket_.Handle(); }
  // Plain sockets may wait in a queue that reports only new arrivals; a TLS
  // session may hold decrypted bytes that no arrival would report.
  bool ReportsOnlyArrivals() const { return !tls_; }
  // The last read left the socket empty (see ClientSocket::Drained).
  bool SocketDrained() const { return socket_.Drained(); }
  // The pool's number for this connection, 0 while it has none.
  uint64_t poolKey = 0;

 protected:
  void Run() override;
  void OnThreadStop() override;

 private:
  // One received line, its end stripped in place; true while the request is
  // not complete yet.
  bool ProcessLine(std::string& line);
  // Takes what already arrived, unless recent tries found nothing.
  bool ReadWithoutWait();
  // Reads the body into the request's query, or drops it when `keep` is
  // false; false when the body stalled or broke off and the connection must
  // end.
  bool ReadPostBody(int64_t length, bool keep);
  // Sends a failure response and counts it towards the malformed run.
  void SendMalformedResponse(int code);
  // What the current request is answered from.
  RouteContext Context() const;
  // Asks the routing what answers the current request and sends it, once
  // the access rules let the client have it.
  void ServeRequest();
  // Who the client is and whether it may have what it asks for; a wrong
  // password is logged here.
  AccessGate::Decision DecideAccess();
  void LogWrongPassword(const std::string& name, bool lockedOut);
  // Answers the sign-in page's addresses; false for any other request.
  bool ServeSignInPage();
  void SetActivity(const std::string& activity);
  // An upload the access rules let through (connection_upload.cpp), and
  // its body, piece by piece, under the same bounds as a POST body's.
  void ServeUploadRequest();
  // A HEAD that asks how much of the client's resumable upload arrived;
  // false, with access_ unchanged or holding a failed sign-in, otherwise.
  bool ServeUploadProgress();
  std::size_t ReadUploadBody(char* buffer, std::size_t length);
  // A complete status-only response, logged (400, 403, 404, 500, 501, 505).
  void SendErrorResponse(int code);
  // Every response leaves through the sender.
  void SendResponse(Response&& response);

  Server& server_;
  const uint32_t connectionId_;
  ConnectionLimits limits_;
  int64_t lastActivity_ = 0;
  int64_t closingSinceMs_ = -1;  // when a pooled graceful close began
  // Before the socket, whose session uses it until it goes.
  const std::shared_ptr<const TlsServerConfig> tls_;
  ClientSocket socket_;
  SocketWakeup wakeup_;
  std::string peerAddress_;
  Request request_;
  // The settings the current request is served under, taken once when its
  // head is complete.
  std::shared_ptr<const ServerSettings> settings_;
  uint64_t settingsGeneration_ = 0;
  // The access rules' answer for the current request.
  AccessGate::Decision access_;
  // The current request puts files into, or deletes one from, a folder
  // marked for uploads; whether its body was read to the end.
  std::optional<UploadTarget> upload_;
  bool uploadBodyRead_ = false;
  bool uploadBodyBegun_ = false;
  int64_t uploadStartMs_ = 0;
  int64_t uploadReceived_ = 0;
  // Kept apart from the download share, which the bandwidth cap divides.
  std::atomic<uint32_t> uploadRate_{0};
  // The current request posts the sign-in form.
  bool signInForm_ = false;
  bool alive_ = false;
  bool closeGracefully_ = false;
  bool closeAfterResponse_ = false;  // fewer body bytes went out than announced
  std::size_t requestBytes_ = 0;
  int64_t headStartMs_ = -1;  // when the current request's first byte came
  // Reads that find nothing to skip before the next read without a wait:
  // a client that sends its next request only after the answer makes every
  // such read a wasted call.
  int readsToSkip_ = 0;
  int malformedInARow_ = 0;
  std::atomic<int64_t> idleSince_{-1};

  // The line being read; its room is kept for the next one.
  std::string line_;
  // The serving thread's own copy, read without the lock; the shared one is
  // for the Info page and written only when it changes.
  std::string activity_;
  mutable std::mutex activityMutex_;
  std::string currentActivity_;
  // Whether currentActivity_ is shown; false between requests.
  std::atomic<bool> activityShown_{false};
  const std::shared_ptr<DownloadSlot> share_;
  ResponseSender sender_;
};
