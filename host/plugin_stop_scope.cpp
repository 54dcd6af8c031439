#include "host/plugin_stop_scope.h"

#include <atomic>

namespace {
constexpr int32_t kNone = -1;
std::atomic<int32_t> stopping_plugin{kNone};
}  // namespace

PluginStopScope::PluginStopScope(int32_t pluginId)
    : previous_(stopping_plugin.exchange(pluginId)) {}

PluginStopScope::~PluginStopScope() {
  stopping_plugin.store(previous_);
}

bool IsPluginStopping(int32_t pluginId) {
  return pluginId != kNone && stopping_plugin.load() == pluginId;
}
