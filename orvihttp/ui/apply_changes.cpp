#include "orvihttp/ui/apply_changes.h"

#include "foundation/file_text.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "orvihttp/config/install_files.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/http/access_rules.h"

void ApplyChanges(VirtualDirectory& directory, const WorkingSettings& workingSettings,
                  const VirtualFolder& workingTree) {
  directory.ReplaceTree(workingTree);

  // The Info and Statistics pages change these two live while the window is
  // open; the working copy holds what they were when it opened.
  const bool active = GetSetting(kActive);
  const int32_t stats = GetSetting(kStats);

  // ApplySettings writes the persistent entries only, each with its own type,
  // and leaves entries the copy lacks alone.
  ApplySettings(workingSettings.Entries());

  SetSetting(kActive, active);
  SetSetting(kStats, stats);

  const std::string folder = GetSetting(kInstallPath);
  WriteFileText(JoinPath(folder, kIniFileName), SaveSettingsText());
  directory.SaveTree(JoinPath(folder, kDirFileName));
}

std::string ApplyRightsChanges(Server& server, const FolderRightsTable& rights) {
  const std::string folder = GetSetting(kInstallPath);
  std::string error;
  if (!rights.Save(JoinPath(folder, kRightsFileName), &error)) {
    return error.empty() ? std::string("The rights file cannot be written.") : error;
  }
  LoadAccessRules(server, folder);
  return "";
}
