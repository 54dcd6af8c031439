#include "orvihttp/http/listener.h"

#include <atomic>
#include <ctime>

#include "foundation/singleton.h"
#include "foundation/thread.h"
#include "orvihttp/config/server_settings.h"
#include "orvihttp/content/error_page.h"
#include "orvihttp/content/http_date.h"
#include "orvihttp/http/client_registry.h"
#include "orvihttp/http/connection_limits.h"
#include "orvihttp/http/descriptor_limit.h"
#include "orvihttp/http/ip_blacklist.h"
#include "orvihttp/http/response_head.h"
#include "orvihttp/http/server_socket.h"
#include "orvihttp/logging/access_log.h"
#include "orvihttp/logging/display_queue.h"

namespace {

constexpr uint32_t kAcceptWaitSeconds = 4;

std::atomic<int64_t> serverStartTime{0};

class Listener : public Thread {
 public:
  ~Listener() override { Stop(); }

  ListenerStart StartServing() {
    if (threadStarted_) return ListenerStart::Listening;
    if (socketOpen_) {
      socket_.Close();
      socketOpen_ = false;
    }
    RaiseDescriptorLimit();
    const int port = CurrentServerSettings()->port;
    if (socket_.Open(port) != ListenResult::Listening) {
      LogServerSocketFailed(port);
      return ListenerStart::PortUnavailable;
    }
    serverStartTime = static_cast<int64_t>(std::time(nullptr));
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
    LogServerStarted();
    bool failing = false;
    while (IsRunning() && !wakeup.IsWoken()) {
      bool failed = false;
      SocketHandle client = socket_.Accept(kAcceptWaitSeconds, &wakeup, &failed);
      if (failed) {
        // The waiting client stays queued and the socket stays readable, so
        // without a pause this loop would spin until descriptors come back.
        if (!failing) LogAcceptFailing();
        failing = true;
        KickOldestIdleClient();
        PurgeClients();
        wakeup.Sleep(CurrentConnectionLimits().acceptBackoffMs);
        continue;
      }
      if (client == kInvalidSocket) continue;
      failing = false;
      Admit(client);
    }
  }

 private:
  static void LogAcceptFailing() {
    PostLogLine(LogLineKind::ListenerEvent,
                LocalTimestamp() + " --- Cannot accept connections: out of resources");
  }

  static void Admit(SocketHandle client) {
    const std::string address = SocketPeerAddress(client);
    if (address.empty() || IsAddressBanned(address)) {
      CloseSocket(client);
      return;
    }
    // The limits count the connection being admitted; finished connections
    // are purged first, so they do not count.
    const ClientCount count = CountLiveClients(address);
    const int32_t maxUsers = CurrentServerSettings()->maxUsers;
    if (maxUsers > 0 && count.total >= static_cast<std::size_t>(maxUsers)) {
      CloseSocket(client);
      return;
    }
    if (!IsLoopbackAddress(address) &&
        count.fromAddress >= CurrentConnectionLimits().maxPerAddress) {
      RefuseBusy(client);
      return;
    }
    // Every connection is a thread and descriptors: past the ceiling a waiting
    // keep-alive connection gives way, or the newcomer is told to come back.
    if (count.total >= ConnectionCeiling() && !KickOldestIdleClient()) {
      RefuseBusy(client);
      return;
    }
    AddClient(client, address);
  }

  // A short 503 and the end, sent from this thread: the reply fits in the
  // empty send buffer of a new socket, so it cannot block.
  static void RefuseBusy(SocketHandle client) {
    const Response page = ErrorPage(503, CurrentServerSettings()->port);
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

  ServerSocket socket_;
  bool threadStarted_ = false;
  bool socketOpen_ = false;
};

Singleton<Listener> listener;

}  // namespace

ListenerStart StartListener() {
  SingletonAccess<Listener> access(listener);
  return access->StartServing();
}

void StopListener() {
  SingletonAccess<Listener> access(listener);
  access->StopServing();
}

bool IsListening() {
  SingletonAccess<Listener> access(listener);
  return access->IsRunning();
}

int ListeningPort() {
  SingletonAccess<Listener> access(listener);
  return access->Port();
}

void DestroyListener() {
  {
    SingletonAccess<Listener> access(listener);
    access->StopServing();
  }
  listener.Destroy();
}

int64_t ServerStartTime() {
  return serverStartTime.load();
}
