#include "orvihttp/http/listener.h"

#include <atomic>
#include <ctime>

#include "foundation/thread.h"
#include "orvihttp/config/server_settings.h"
#include "orvihttp/content/error_page.h"
#include "orvihttp/content/http_date.h"
#include "orvihttp/http/connection_limits.h"
#include "orvihttp/http/descriptor_limit.h"
#include "orvihttp/http/https_credentials.h"
#include "orvihttp/http/response_head.h"
#include "orvihttp/http/server.h"
#include "orvihttp/http/server_socket.h"
#include "orvihttp/logging/access_log.h"

namespace {

constexpr uint32_t kAcceptWaitSeconds = 4;

}  // namespace

class Listener::AcceptLoop : public Thread {
 public:
  AcceptLoop(Server& server, std::atomic<int64_t>& startTime)
      : server_(server), startTime_(startTime) {}
  ~AcceptLoop() override { Stop(); }

  // Plain HTTP when `tls` is null, else HTTPS with that configuration.
  ListenerStart StartServing(int port, std::shared_ptr<const TlsServerConfig> tls) {
    if (threadStarted_) return ListenerStart::Listening;
    if (socketOpen_) {
      socket_.Close();
      socketOpen_ = false;
    }
    RaiseDescriptorLimit();
    const std::shared_ptr<const ServerSettings> settings = server_.Settings();
    if (socket_.Open(port) != ListenResult::Listening) {
      if (tls) {
        LogServerNotice(server_.logs(), *settings,
                        "Could not initialise HTTPS socket at port " + std::to_string(port));
      } else {
        LogServerSocketFailed(server_.logs(), *settings, port);
      }
      return ListenerStart::PortUnavailable;
    }
    tls_ = std::move(tls);
    if (!tls_) startTime_ = static_cast<int64_t>(std::time(nullptr));
    socketOpen_ = true;
    threadStarted_ = Start();
    return ListenerStart::Listening;
  }

  void StopServing() {
    if (threadStarted_) {
      Stop();
      threadStarted_ = false;
    }
    if (socketOpen_) {
      socket_.Close();
      socketOpen_ = false;
    }
  }

  int Port() const { return socketOpen_ ? socket_.LocalPort() : 0; }

 protected:
  void Run() override {
    if (!socketOpen_) return;
    SocketWakeup wakeup;
    StopWaker waker([&wakeup] { wakeup.Wake(); });
    if (tls_) {
      LogServerNotice(server_.logs(), *server_.Settings(),
                      "Serving HTTPS at port " + std::to_string(socket_.LocalPort()));
    } else {
      LogServerStarted(server_.logs(), *server_.Settings());
    }
    bool failing = false;
    while (IsRunning() && !wakeup.IsWoken()) {
      bool failed = false;
      SocketHandle client = socket_.Accept(kAcceptWaitSeconds, &wakeup, &failed);
      if (failed) {
        // The waiting client stays queued and the socket stays readable, so
        // without a pause this loop would spin until descriptors come back.
        if (!failing) LogAcceptFailing();
        failing = true;
        server_.clients().KickOldestIdle();
        server_.clients().Purge();
        wakeup.Sleep(CurrentConnectionLimits().acceptBackoffMs);
        continue;
      }
      if (client == kInvalidSocket) continue;
      failing = false;
      Admit(client);
    }
  }

 private:
  void LogAcceptFailing() {
    server_.logs().display.Post(
        LogLineKind::ListenerEvent,
        LocalTimestamp() + " --- Cannot accept connections: out of resources");
  }

  void Admit(SocketHandle client) {
    const std::string address = SocketPeerAddress(client);
    if (address.empty() || server_.blacklist().IsBanned(address)) {
      CloseSocket(client);
      return;
    }
    // The limits count the connection being admitted; finished connections
    // are purged first, so they do not count.
    const ClientRegistry::Count count = server_.clients().CountLive(address);
    const std::shared_ptr<const ServerSettings> settings = server_.Settings();
    const int32_t maxUsers = settings->maxUsers;
    if (maxUsers > 0 && count.total >= static_cast<std::size_t>(maxUsers)) {
      CloseSocket(client);
      return;
    }
    if (!IsLoopbackAddress(address) &&
        count.fromAddress >= CurrentConnectionLimits().maxPerAddress) {
      RefuseBusy(client, settings->port);
      return;
    }
    // Every connection is a thread and descriptors: past the ceiling a waiting
    // keep-alive connection gives way, or the newcomer is told to come back.
    if (count.total >= ConnectionCeiling() && !server_.clients().KickOldestIdle()) {
      RefuseBusy(client, settings->port);
      return;
    }
    server_.clients().Add(client, address, tls_);
  }

  // A short 503 and the end, sent from this thread: the reply fits in the
  // empty send buffer of a new socket, so it cannot block. A TLS client
  // could not read it before a handshake and is only closed.
  void RefuseBusy(SocketHandle client, int port) {
    if (tls_) {
      CloseSocket(client);
      return;
    }
    const Response page = ErrorPage(503, port);
    const std::string reply = ResponseHead(page, CurrentHttpDate()) + page.body;
    SendSome(client, reply.data(), static_cast<int>(reply.size()));
    ShutdownSocket(client, true);
    // What the client already sent is dropped, so the close does not reset
    // the connection before the reply is read.
    char scratch[4096];
    for (int i = 0; i < 16; ++i) {
      if (ReceiveSome(client, scratch, sizeof scratch).result != SocketResult::Done) break;
    }
    CloseSocket(client);
  }

  Server& server_;
  std::atomic<int64_t>& startTime_;
  std::shared_ptr<const TlsServerConfig> tls_;
  ServerSocket socket_;
  bool threadStarted_ = false;
  bool socketOpen_ = false;
};

Listener::Listener(Server& server) : server_(server) {}

Listener::~Listener() {
  Stop();
}

ListenerStart Listener::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::shared_ptr<const ServerSettings> settings = server_.Settings();
  if (!loop_) loop_ = std::make_unique<AcceptLoop>(server_, startTime_);
  const ListenerStart result = loop_->StartServing(settings->port, nullptr);
  if (result == ListenerStart::Listening && settings->https && httpsPort_ == 0)
    StartHttps(*settings);
  return result;
}

void Listener::StartHttps(const ServerSettings& settings) {
  // What cannot serve HTTPS leaves its port closed; plain HTTP serves on.
  std::string error;
  std::string note;
  std::shared_ptr<const TlsServerConfig> tls = PrepareHttps(settings, &error, &note);
  if (!note.empty()) LogServerNotice(server_.logs(), settings, note);
  if (!tls) {
    LogServerNotice(server_.logs(), settings, "Cannot serve HTTPS: " + error);
    return;
  }
  if (!httpsLoop_) httpsLoop_ = std::make_unique<AcceptLoop>(server_, startTime_);
  if (httpsLoop_->StartServing(settings.httpsPort, std::move(tls)) == ListenerStart::Listening) {
    httpsPort_ = httpsLoop_->Port();
  }
}

void Listener::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (httpsLoop_) httpsLoop_->StopServing();
  httpsPort_ = 0;
  if (loop_) loop_->StopServing();
  // PHP programs kept running serve only while the server does.
  server_.phpPrograms().EndAll();
}

bool Listener::IsListening() {
  std::lock_guard<std::mutex> lock(mutex_);
  return loop_ && loop_->IsRunning();
}

int Listener::Port() {
  std::lock_guard<std::mutex> lock(mutex_);
  return loop_ ? loop_->Port() : 0;
}
