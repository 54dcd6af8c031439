#include "orvihttp/http/listener.h"

#include <atomic>
#include <ctime>

#include "foundation/thread.h"
#include "orvihttp/config/server_settings.h"
#include "orvihttp/content/error_page.h"
#include "orvihttp/content/http_date.h"
#include "orvihttp/http/connection_limits.h"
#include "orvihttp/http/descriptor_limit.h"
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

  ListenerStart StartServing() {
    if (threadStarted_) return ListenerStart::Listening;
    if (socketOpen_) {
      socket_.Close();
      socketOpen_ = false;
    }
    RaiseDescriptorLimit();
    const std::shared_ptr<const ServerSettings> settings = server_.Settings();
    if (socket_.Open(settings->port) != ListenResult::Listening) {
      LogServerSocketFailed(server_.logs(), *settings, settings->port);
      return ListenerStart::PortUnavailable;
    }
    startTime_ = static_cast<int64_t>(std::time(nullptr));
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
    LogServerStarted(server_.logs(), *server_.Settings());
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
    server_.clients().Add(client, address);
  }

  // A short 503 and the end, sent from this thread: the reply fits in the
  // empty send buffer of a new socket, so it cannot block.
  static void RefuseBusy(SocketHandle client, int port) {
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
  if (!loop_) loop_ = std::make_unique<AcceptLoop>(server_, startTime_);
  return loop_->StartServing();
}

void Listener::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (loop_) loop_->StopServing();
}

bool Listener::IsListening() {
  std::lock_guard<std::mutex> lock(mutex_);
  return loop_ && loop_->IsRunning();
}

int Listener::Port() {
  std::lock_guard<std::mutex> lock(mutex_);
  return loop_ ? loop_->Port() : 0;
}
