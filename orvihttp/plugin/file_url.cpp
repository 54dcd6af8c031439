#include "orvihttp/plugin/file_url.h"

#include <cctype>

std::string FileUrlForPath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  if (path.empty() || (path[0] != '/' && path[0] != '\\')) url += '/';
  for (unsigned char byte : path) {
    if (byte == '\\') byte = '/';
    if (std::isalnum(byte) || byte == '-' || byte == '.' || byte == '_' || byte == '~' ||
        byte == '/' || byte == ':') {
      url += static_cast<char>(byte);
    } else {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 15];
    }
  }
  return url;
}
