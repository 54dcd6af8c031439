// orvihttp-dir: shows and edits OrviHTTP.dir for headless use.
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/standard_streams.h"
#include "tools/orvihttp_dir/dir_tool.h"

int main(int argc, char** argv) {
  UseBinaryStandardStreams();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  std::string out;
  std::string err;
  const int code = RunDirTool(arguments, out, err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fwrite(err.data(), 1, err.size(), stderr);
  if (std::fflush(stdout) != 0 && code == 0) return 1;
  return code;
}
