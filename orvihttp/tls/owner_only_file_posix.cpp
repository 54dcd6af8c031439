#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "orvihttp/tls/owner_only_file.h"

bool WriteOwnerOnlyFile(const std::string& path, const std::string& bytes, std::string* error) {
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (file < 0) {
    *error = std::strerror(errno);
    return false;
  }
  // The mode given to open is narrowed by the umask, never widened; set it
  // once more in case a umask of 0 and an odd file system disagree.
  bool ok = fchmod(file, S_IRUSR | S_IWUSR) == 0;
  size_t written = 0;
  while (ok && written < bytes.size()) {
    const ssize_t count = write(file, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    ok = count > 0;
    written += ok ? static_cast<size_t>(count) : 0;
  }
  ok = ok && fsync(file) == 0;
  if (!ok) {
    *error = std::strerror(errno);
  }
  if (close(file) != 0 && ok) {
    *error = std::strerror(errno);
    ok = false;
  }
  return ok;
}
