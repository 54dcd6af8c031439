#pragma once

#include <string>
#include <vector>

#include "orvihttp/access/folder_rights.h"

// What the Directory page's "Permissions..." dialog shows and does, apart
// from drawing: one row per right, each a choice among the folder's own
// rules or what it takes from above.

// In the order of the rows' combo boxes.
enum class PermissionChoice { Inherited, Everyone, AnyAccount, OnlyNames };

struct PermissionRow {
  PermissionChoice choice = PermissionChoice::Inherited;
  // For OnlyNames: the names as typed, separated by commas.
  std::string names;

  bool operator==(const PermissionRow&) const = default;
};

// One row per FolderRight, in the order of kFolderRights.
struct PermissionChoices {
  PermissionRow rows[3];

  bool operator==(const PermissionChoices&) const = default;
};

// "Permissions of /docs".
std::string PermissionsTitle(const std::string& folderPath);
// "Who may see and download", "Who may upload", "Who may delete".
const char* PermissionRowLabel(FolderRight right);
// The combo box's four lines for one right of `folderPath`, the first
// naming what the folder takes from above: "Inherited (everyone from /)".
std::vector<std::string> PermissionChoiceTexts(const FolderRightsTable& rights,
                                               const std::string& folderPath, FolderRight right);

// The rules `folderPath` sets itself, as the dialog's rows.
PermissionChoices PermissionChoicesOf(const FolderRightsTable& rights,
                                      const std::string& folderPath);
// "" when the rows can be stored: every name typed is one of `accounts`.
// Otherwise the sentence to show.
std::string CheckPermissionChoices(const PermissionChoices& choices,
                                   const std::vector<std::string>& accounts);
// Writes checked rows into `rights` as the folder's own rules (Inherited
// unsets one). True when the table changed.
bool StorePermissionChoices(const PermissionChoices& choices, FolderRightsTable& rights,
                            const std::string& folderPath);
