// orvihttp-users: adds, changes and removes the server's accounts.
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/standard_streams.h"
#include "tools/orvihttp_users/users_tool.h"

int main(int argc, char** argv) {
  UseBinaryStandardStreams();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  std::string out;
  std::string err;
  const int code = RunUsersTool(arguments, ReadSecretLine, StandardInputIsTerminal(), out, err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fwrite(err.data(), 1, err.size(), stderr);
  if (std::fflush(stdout) != 0 && code == 0) return 1;
  return code;
}
