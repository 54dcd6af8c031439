#include <gtest/gtest.h>

#include "tests/orvihttp/tls/openssl_tool.h"
#include "tests/support/child_program.h"

bool OpensslReachable() {
  static const bool reachable = [] {
    int code = -1;
    const std::string output = RunProgram("openssl version", &code, true);
    return code == 0 && output.rfind("OpenSSL", 0) == 0;
  }();
  return reachable;
}

std::string RunOpenssl(const std::string& arguments, int* exitCode) {
  return RunProgram("openssl " + arguments, exitCode, true);
}
