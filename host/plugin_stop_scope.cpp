#include "host/plugin_stop_scope.h"

#include <atomic>

namespace {
constexpr int32_t kNone = -1;
std::atomic<int32_t> stoppingPlugin{kNone};
}  // namespace

PluginStopScope::PluginStopScope(int32_t pluginId) : previous_(stoppingPlugin.exchange(pluginId)) {}

PluginStopScope::~PluginStopScope() {
  stoppingPlugin.store(previous_);
}

bool IsPluginStopping(int32_t pluginId) {
  return pluginId != kNone && stoppingPlugin.load() == pluginId;
}
