#include "orvihttp/http/upload_names.h"

std::string DiskNameOf(const std::string& utf8Name) {
  return utf8Name;
}
