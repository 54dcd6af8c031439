// orvihttp_serve: the HTTP engine without the host, for benchmarks.
//   orvihttp_serve <port> <file>...
// Publishes each file at the root under its own name and serves until
// SIGINT or SIGTERM.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "foundation/settings.h"
#include "foundation/winsock_startup.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/http/server.h"

namespace {

WinsockStartup winsock;
volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int) {
  stopRequested = 1;
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <port> <file>...\n", argv[0]);
    return 2;
  }
  SetSetting(kPort, std::atoi(argv[1]));
  SetSetting(kMaxDown, 0);
  SetSetting(kMaxUsers, 0);
  SetSetting(kAutoLoadIndex, true);
  SetSetting(kDirView, false);
  SetSetting(kLog, false);
  SetSetting(kBinLogPath, "");
  Server server(CurrentServerSettings);
  for (int i = 2; i < argc; ++i) {
    if (!server.directory().AddFile("/", BaseName(argv[i]), argv[i])) {
      std::fprintf(stderr, "cannot publish %s\n", argv[i]);
      return 1;
    }
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  if (server.listener().Start() != ListenerStart::Listening) return 1;
  std::printf("serving on port %d\n", server.listener().Port());
  std::fflush(stdout);
  // Finished connections are purged once a second, as the plugin's status
  // thread does.
  while (!stopRequested) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server.clients().Purge();
  }
  server.StopServing();
  return 0;
}
