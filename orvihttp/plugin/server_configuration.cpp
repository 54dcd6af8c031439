#include "orvihttp/plugin/server_configuration.h"

#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "orvihttp/config/install_files.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/plugin/server_texts.h"

std::string IniFilePath(const std::string& folder) {
  return JoinPath(folder, kIniFileName);
}

std::string DirFilePath(const std::string& folder) {
  return JoinPath(folder, kDirFileName);
}

std::string HelpPagePath(const std::string& folder) {
  return JoinPath(folder, kHelpPageFile);
}

void LoadServerConfiguration(const std::string& folder) {
  SetSetting(kInstallPath, folder);
  SetSetting(kBinLogPath, JoinPath(folder, kBinLogPath.defaultValue));

  SetDefault(kFirstTime);
  SetDefault(kActive);
  SetDefault(kPort);
  SetDefault(kPhpEnable);
  SetDefault(kMaxUsers);
  SetDefault(kMaxDown);
  SetDefault(kAutoLoadIndex);
  SetDefault(kDirView);
  SetDefault(kLog);
  SetSetting(kLogPath, JoinPath(folder, kLogPath.defaultValue));

  LoadSettingsText(ReadFileText(IniFilePath(folder), 0));
}

void SaveServerConfiguration(const std::string& folder) {
  WriteFileText(IniFilePath(folder), SaveSettingsText());
}
