#include "orvihttp/plugin/install_folder.h"

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/registry.h"
#include "orvihttp/plugin/server_texts.h"

std::string FindInstallFolder() {
  std::string folder = RegistryGet(kProductName, "Path");
  // A recorded folder that is gone was left by a copy since deleted or moved;
  // the settings and logs of this copy belong beside it.
  if (!folder.empty() && IsFolder(folder)) return folder;
  folder = JoinPath(JoinPath(ParentFolder(ExecutablePath()), "Plugins"), kProductName);
  RegistrySet(kProductName, "Path", folder);
  return folder;
}
