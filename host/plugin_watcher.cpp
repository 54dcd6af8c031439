#include "host/plugin_watcher.h"

std::string WatchFailedText(const std::string& folder, const std::string& reason) {
  return "Cannot create change notification handle for \"" + folder + "\":\r\n" + reason;
}
