#include <unistd.h>

#include <cstdio>

#include "tests/orvihttp/http/message_box_answerer.h"

// Boxes are lines "[caption] text" on standard error here: while this object
// lives, standard error goes to a temporary file that Text() reads.
namespace {
int savedError = -1;
std::FILE* capture = nullptr;
}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(const std::string& caption) : caption_(caption) {
  std::fflush(stderr);
  capture = std::tmpfile();
  savedError = dup(2);
  dup2(fileno(capture), 2);
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  std::fflush(stderr);
  dup2(savedError, 2);
  close(savedError);
  std::fclose(capture);
}

std::string MessageBoxAnswerer::Text() const {
  std::fflush(stderr);
  std::string all;
  std::rewind(capture);
  char buffer[512];
  std::size_t read;
  while ((read = std::fread(buffer, 1, sizeof buffer, capture)) > 0) all.append(buffer, read);
  const std::string prefix = "[" + caption_ + "] ";
  std::size_t start = all.rfind(prefix);
  if (start == std::string::npos) return "";
  start += prefix.size();
  return all.substr(start, all.find('\n', start) - start);
}
