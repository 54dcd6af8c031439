#include "host/plugin_file_name.h"

#include <cstring>

bool IsPluginFileName(const std::string& name) {
  std::size_t suffixLength = std::strlen(kPluginFileSuffix);
  return name.size() > suffixLength &&
         name.compare(name.size() - suffixLength, suffixLength, kPluginFileSuffix) == 0;
}

std::string ShadowFileName(uint32_t counter) {
  return "tmp" + std::to_string(counter) + kPluginFileSuffix;
}
