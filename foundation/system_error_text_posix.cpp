#include <errno.h>

#include <cstring>

#include "foundation/system_error_text.h"

std::string LastSystemErrorText() {
  return std::strerror(errno);
}
