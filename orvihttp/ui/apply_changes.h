#pragma once

#include <string>

#include "orvihttp/access/folder_rights.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/ui/working_settings.h"

// OK and Apply of the settings window: the working tree replaces the live
// tree `directory`, every persistent working entry is written into the live store, except
// that `Active` and `Stats` keep the values in force now (the Info and
// Statistics pages set those two live while the window is open), and
// OrviHTTP.ini and OrviHTTP.dir are written into the install folder. Nothing
// is restarted; failures to write the files are not reported.
void ApplyChanges(VirtualDirectory& directory, const WorkingSettings& workingSettings,
                  const VirtualFolder& workingTree);

// OK and Apply when the Directory page changed the folder rights: writes
// them to OrviHTTP.rights in the install folder (an empty table removes the
// file) and puts them in force for `server` at once. "" when done, otherwise
// why the file was not written; the rules in force then stay as they were.
class Server;
std::string ApplyRightsChanges(Server& server, const FolderRightsTable& rights);
