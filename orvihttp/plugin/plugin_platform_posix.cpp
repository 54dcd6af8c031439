#include "orvihttp/plugin/plugin_platform.h"

void InitialisePluginPlatform() {}

void ShutdownPluginPlatform() {}

IconHandle LoadPluginIcon(int resource) {
  return static_cast<IconHandle>(resource);
}
