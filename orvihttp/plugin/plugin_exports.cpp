// The library's only two exports.
#include <memory>
#include <mutex>
#include <vector>

#include "desktop/message_box.h"
#include "foundation/debug_output.h"
#include "foundation/winsock_startup.h"
#include "orvihttp/plugin/server_plugin.h"

namespace {

WinsockStartup winsock(ShowWarningBox);

// The host never deletes a plugin object: they end with the library, whose
// unloading destroys this holder (before the socket layer above).
std::mutex objectsMutex;
std::vector<std::unique_ptr<ServerPlugin>> objects;

}  // namespace

PLUGIN_EXPORT int32_t GetPluginVersion() noexcept {
  return kPluginInterfaceVersion;
}

// Whatever fails (memory, or building the object) leaves no object in the
// slot: the host then unloads the library as it does any unusable one.
PLUGIN_EXPORT void GetPlugin(Plugin** slot) noexcept try {
  if (!slot) return;
  *slot = nullptr;
  auto plugin = std::make_unique<ServerPlugin>();
  std::lock_guard<std::mutex> lock(objectsMutex);
  objects.push_back(std::move(plugin));
  *slot = objects.back().get();
} catch (...) {
  ReportUncaughtException("GetPlugin");
}
