#include "desktop/message_box.h"
#include "foundation/winsock_startup.h"
#include "host/host_platform.h"
#include "host/host_session.h"

namespace {
// Sockets are ready before anything else runs, for the plugins too.
WinsockStartup winsock(ShowWarningBox);
}  // namespace

int main() {
  std::unique_ptr<HostPlatform> platform = CreateHostPlatform();
  HostSession session(*platform);
  return session.Run();
}
