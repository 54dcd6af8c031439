#include "foundation/command_line.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> arguments;
  const std::size_t end = commandLine.size();
  std::size_t i = 0;

  // The program name: quotes toggle quoting and are dropped, backslashes are
  // ordinary; it ends at the first unquoted blank.
  std::string program;
  bool quoted = false;
  while (i < end) {
    char c = commandLine[i];
    if (c == '"') {
      quoted = !quoted;
      ++i;
      continue;
    }
    if (!quoted && IsBlank(c)) break;
    program.push_back(c);
    ++i;
  }
  arguments.push_back(program);

  for (;;) {
    while (i < end && IsBlank(commandLine[i])) ++i;
    if (i >= end) break;
    std::string argument;
    quoted = false;
    for (;;) {
      std::size_t backslashes = 0;
      while (i < end && commandLine[i] == '\\') {
        ++backslashes;
        ++i;
      }
      bool copy = true;
      if (i < end && commandLine[i] == '"') {
        if (backslashes % 2 == 0) {
          if (quoted && i + 1 < end && commandLine[i + 1] == '"') {
            ++i;  // "" inside quotes: one literal quote, still quoted
          } else {
            copy = false;
            quoted = !quoted;
          }
        }
        backslashes /= 2;
      }
      argument.append(backslashes, '\\');
      if (i >= end || (!quoted && IsBlank(commandLine[i]))) break;
      if (copy) argument.push_back(commandLine[i]);
      ++i;
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::string QuoteCommandLineArgument(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // Backslashes before a quote are escaped, and so is the quote.
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted.push_back(c);
  }
  // Backslashes before the closing quote must not escape it.
  quoted.append(backslashes * 2, '\\');
  quoted.push_back('"');
  return quoted;
}
