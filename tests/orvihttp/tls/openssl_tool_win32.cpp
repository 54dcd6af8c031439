#include "tests/orvihttp/tls/openssl_tool.h"

bool OpensslReachable() {
  return false;
}

std::string RunOpenssl(const std::string&, int* exitCode) {
  if (exitCode != nullptr) {
    *exitCode = -1;
  }
  return "";
}
