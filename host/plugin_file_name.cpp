#include "host/plugin_file_name.h"

#include <cstring>

bool IsPluginFileName(const std::string& name) {
  std::size_t suffix_length = std::strlen(kPluginFileSuffix);
  return name.size() > suffix_length &&
         name.compare(name.size() - suffix_length, suffix_length, kPluginFileSuffix) == 0;
}

std::string ShadowFileName(uint32_t counter) {
  return "tmp" + std::to_string(counter) + kPluginFileSuffix;
}
