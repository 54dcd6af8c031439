#include "orvihttp/plugin/no_window_message.h"

#include "orvihttp/plugin/server_configuration.h"
#include "orvihttp/plugin/server_texts.h"

std::string NoWindowMessage(const std::string& installPath) {
  // The plugin writes OrviHTTP.ini back when it stops, so edits made while
  // the host runs would be lost.
  return std::string(kProductName) + ": there is no settings window in this build. Edit " +
         IniFilePath(installPath) + " while Trellan is not running, and the virtual directory " +
         DirFilePath(installPath) + " with the orvihttp-dir tool (orvihttp-dir --help).\n";
}
