// Any command line must split without harm, and quoting the arguments it
// gives and splitting again must give the same arguments back.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> arguments = SplitCommandLine(line);
  if (arguments.empty()) std::abort();

  std::size_t total = 0;
  for (const std::string& argument : arguments) total += argument.size();
  if (total > size) std::abort();

  // The program name never keeps a quote, so quoting it is enough.
  if (arguments[0].find('"') != std::string::npos) std::abort();
  std::string rebuilt = "\"" + arguments[0] + "\"";
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    rebuilt += " " + QuoteCommandLineArgument(arguments[i]);
  }
  if (SplitCommandLine(rebuilt) != arguments) {
    std::fprintf(stderr, "command_line_fuzz: quoting does not give the arguments back\n");
    std::abort();
  }
  return 0;
}
