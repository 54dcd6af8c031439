// The library's only two exports.
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "foundation/winsock_startup.h"
#include "orvihttp/plugin/server_plugin.h"

namespace {

WinsockStartup winsock;

// The host never deletes a plugin object: they end with the library, whose
// unloading destroys this holder (before the socket layer above).
std::mutex objectsMutex;
std::vector<std::unique_ptr<ServerPlugin>> objects;

}  // namespace

PLUGIN_EXPORT int32_t GetPluginVersion() {
  return kPluginInterfaceVersion;
}

PLUGIN_EXPORT void GetPlugin(Plugin** slot) {
  if (!slot) return;
  *slot = nullptr;
  std::unique_ptr<ServerPlugin> plugin(new (std::nothrow) ServerPlugin());
  if (!plugin) return;
  try {
    std::lock_guard<std::mutex> lock(objectsMutex);
    objects.push_back(std::move(plugin));
    *slot = objects.back().get();
  } catch (...) {
    // No room to keep it: report no object rather than leak an exception.
  }
}
