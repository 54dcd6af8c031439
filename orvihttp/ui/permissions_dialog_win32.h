#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "orvihttp/ui/permissions_dialog_model.h"

// The Directory page's "Permissions..." dialog for the folder at
// `folderPath`, modal over `owner`. `rights` is the page's working copy (for
// what the folder inherits); names are checked against `accounts`. True
// after OK, with the entered rows in `choices`; false after Cancel.
bool ShowPermissionsDialog(HWND owner, const FolderRightsTable& rights,
                           const std::string& folderPath, const std::vector<std::string>& accounts,
                           PermissionChoices& choices);
