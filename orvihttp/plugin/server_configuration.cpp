#include "orvihttp/plugin/server_configuration.h"

#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "orvihttp/plugin/server_texts.h"

std::string IniFilePath(const std::string& folder) {
  return JoinPath(folder, "OrviHTTP.ini");
}

std::string DirFilePath(const std::string& folder) {
  return JoinPath(folder, "OrviHTTP.dir");
}

std::string HelpPagePath(const std::string& folder) {
  return JoinPath(folder, kHelpPageFile);
}

void LoadServerConfiguration(const std::string& folder) {
  SetString("InstallPath", folder, false);
  SetBool("MainDialog", false, false);
  SetBool("MainDialogAlloc", false, false);
  SetString("BinLogPath", JoinPath(folder, "OrviHTTP.binlog"), false);

  SetBool("FirstTime", true, true);
  SetBool("Active", false, true);
  SetInt("Port", 80, true);
  SetBool("PHPEnable", false, true);
  SetInt("MaxUsers", 0, true);
  SetInt("MaxDown", 0, true);
  SetBool("AutoLoadIndex", true, true);
  SetBool("DirView", true, true);
  SetBool("Log", true, true);
  SetString("LogPath", JoinPath(folder, "OrviHTTP.log"), true);

  LoadSettingsText(ReadFileText(IniFilePath(folder), 0));
}

void SaveServerConfiguration(const std::string& folder) {
  WriteFileText(IniFilePath(folder), SaveSettingsText());
}
