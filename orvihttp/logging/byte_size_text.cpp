#include "orvihttp/logging/byte_size_text.h"

#include <cstdio>

std::string FormatByteSize(uint32_t bytes) {
  double value = bytes;
  const char* format = "%.2f GB";
  if (bytes < (1u << 20)) {
    value /= 1024.0;
    format = "%.2f KB";
  } else if (bytes < (1u << 30)) {
    value /= 1048576.0;
    format = "%.2f MB";
  } else {
    value /= 1073741824.0;
  }
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}
