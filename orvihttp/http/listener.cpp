#include "orvihttp/http/listener.h"

#include <atomic>
#include <ctime>

#include "foundation/message_box.h"
#include "foundation/settings.h"
#include "foundation/singleton.h"
#include "foundation/thread.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/http/client_registry.h"
#include "orvihttp/http/ip_blacklist.h"
#include "orvihttp/http/server_socket.h"
#include "orvihttp/logging/access_log.h"

namespace {

constexpr uint32_t kAcceptWaitSeconds = 4;

std::atomic<int64_t> serverStartTime{0};

class Listener : public Thread {
 public:
  ~Listener() override { Stop(); }

  void StartServing() {
    if (threadStarted_) return;
    if (socketOpen_) {
      socket_.Close();
      socketOpen_ = false;
    }
    const int port = GetSetting(kPort);
    if (socket_.Open(port) != ListenResult::Listening) {
      LogServerSocketFailed(port);
      ShowMessageBox("Error: Cannot initialise server socket!", kProductName, MessageIcon::Warning);
      return;
    }
    serverStartTime = static_cast<int64_t>(std::time(nullptr));
    socketOpen_ = true;
    threadStarted_ = Start();
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
    while (IsRunning() && !wakeup.IsWoken()) {
      SocketHandle client = socket_.Accept(kAcceptWaitSeconds, &wakeup);
      if (client == kInvalidSocket) continue;
      Admit(client);
    }
  }

 private:
  static void Admit(SocketHandle client) {
    const std::string address = SocketPeerAddress(client);
    if (address.empty() || IsAddressBanned(address)) {
      CloseSocket(client);
      return;
    }
    // The limit counts the connection being admitted; finished connections
    // are purged first, so they do not count.
    const int32_t maxUsers = GetSetting(kMaxUsers);
    if (maxUsers > 0 && LiveClientCount() >= static_cast<std::size_t>(maxUsers)) {
      CloseSocket(client);
      return;
    }
    // Keeps the list short even when nobody else purges it.
    PurgeClients();
    AddClient(client);
  }

  ServerSocket socket_;
  bool threadStarted_ = false;
  bool socketOpen_ = false;
};

Singleton<Listener> listener;

}  // namespace

void StartListener() {
  SingletonAccess<Listener> access(listener);
  access->StartServing();
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
