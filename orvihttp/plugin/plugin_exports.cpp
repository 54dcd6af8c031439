// The library's only two exports.
#include <new>

#include "foundation/winsock_startup.h"
#include "orvihttp/plugin/server_plugin.h"

namespace {
WinsockStartup winsock;
}  // namespace

PLUGIN_EXPORT int32_t GetPluginVersion() { return kPluginInterfaceVersion; }

PLUGIN_EXPORT void GetPlugin(Plugin** slot) {
  if (!slot) return;
  *slot = new (std::nothrow) ServerPlugin();
}
