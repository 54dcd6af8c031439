#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "orvihttp/plugin/open_url.h"

namespace {

// The full path of a program found on PATH, or "".
std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    if (!folder.empty()) {
      std::string candidate = folder + "/" + program;
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

}  // namespace

bool OpenUrl(const std::string& url) {
  std::string opener = FindOnPath("xdg-open");
  if (opener.empty()) return false;
  // Everything the children need is prepared here: between fork and exec only
  // async-signal-safe calls are allowed in a threaded process.
  const char* argv[] = {opener.c_str(), url.c_str(), nullptr};
  // The middle child exits at once, so the opener is adopted by init and the
  // caller never waits for the browser nor leaves a zombie behind.
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    pid_t grandchild = fork();
    if (grandchild == 0) {
      setsid();
      int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
      }
      execv(argv[0], const_cast<char* const*>(argv));
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    // EINTR: wait again; the middle child ends at once.
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
