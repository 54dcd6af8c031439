#include "orvihttp/config/php_mode.h"

#include "foundation/text_basics.h"
#include "orvihttp/config/server_keys.h"

bool PhpModeIsFastCgi(const std::string& phpMode) {
  return AsciiLowerCase(phpMode) == AsciiLowerCase(kPhpModeFastCgi);
}
