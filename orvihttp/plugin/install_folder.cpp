#include "orvihttp/plugin/install_folder.h"

#include "foundation/paths.h"
#include "foundation/registry.h"
#include "orvihttp/plugin/server_texts.h"

std::string FindInstallFolder() {
  std::string folder = RegistryGet(kProductName, "Path");
  if (!folder.empty()) return folder;
  folder = JoinPath(JoinPath(ParentFolder(ExecutablePath()), "Plugins"), kProductName);
  RegistrySet(kProductName, "Path", folder);
  return folder;
}
