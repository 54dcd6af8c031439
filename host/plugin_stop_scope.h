#pragma once

#include <cstdint>

// Marks, for its lifetime, that the main thread is stopping and unloading one
// plugin. A plugin's Stop may wait for its own threads while one of them is
// blocked in HostCallback waiting for the main thread; HostCallback asks
// IsPluginStopping and gives up instead of waiting forever, and the host drops
// status reports of that plugin meanwhile.
class PluginStopScope {
 public:
  explicit PluginStopScope(int32_t pluginId);
  ~PluginStopScope();
  PluginStopScope(const PluginStopScope&) = delete;
  PluginStopScope& operator=(const PluginStopScope&) = delete;

 private:
  int32_t previous_;
};

// True while the main thread is stopping the plugin `pluginId`.
bool IsPluginStopping(int32_t pluginId);
