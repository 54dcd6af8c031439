#include "orvihttp/ui/permissions_dialog_model.h"

#include <algorithm>

namespace {

std::size_t Index(FolderRight right) {
  return static_cast<std::size_t>(right);
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The names typed in a row, without the spaces people put after commas and
// without empty entries.
std::vector<std::string> TypedNames(const std::string& text) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string name = Trimmed(text.substr(start, comma - start));
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(std::move(name));
    }
    start = comma + 1;
  }
  return names;
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

std::string HoldersText(const RightHolders& holders) {
  switch (holders.kind) {
    case RightHolders::Kind::Everyone:
      return "everyone";
    case RightHolders::Kind::Accounts:
      return "any signed-in account";
    case RightHolders::Kind::Names:
      break;
  }
  return holders.names.empty() ? "nobody" : "only " + JoinNames(holders.names);
}

std::string ParentOf(const std::string& folderPath) {
  const auto cut = folderPath.rfind('/');
  if (cut == std::string::npos || cut == 0) return "/";
  return folderPath.substr(0, cut);
}

}  // namespace

std::string PermissionsTitle(const std::string& folderPath) {
  return "Permissions of " + folderPath;
}

const char* PermissionRowLabel(FolderRight right) {
  switch (right) {
    case FolderRight::See:
      return "Who may see and download";
    case FolderRight::Upload:
      return "Who may upload";
    case FolderRight::Delete:
      return "Who may delete";
  }
  return "";
}

std::vector<std::string> PermissionChoiceTexts(const FolderRightsTable& rights,
                                               const std::string& folderPath, FolderRight right) {
  std::string inherited =
      "Inherited (" + HoldersText(DefaultRightHolders(right)) + ", as with no rule)";
  if (folderPath != "/") {
    std::string from;
    const RightHolders holders = rights.Effective(ParentOf(folderPath), right, &from);
    // Effective answers "/" also when no folder sets a rule at all.
    if (rights.Own(from, right))
      inherited = "Inherited (" + HoldersText(holders) + " from " + from + ")";
  }
  return {inherited, "Everyone", "Any signed-in account", "Only these accounts:"};
}

PermissionChoices PermissionChoicesOf(const FolderRightsTable& rights,
                                      const std::string& folderPath) {
  PermissionChoices choices;
  for (FolderRight right : kFolderRights) {
    PermissionRow& row = choices.rows[Index(right)];
    const std::optional<RightHolders> own = rights.Own(folderPath, right);
    if (!own) continue;
    switch (own->kind) {
      case RightHolders::Kind::Everyone:
        row.choice = PermissionChoice::Everyone;
        break;
      case RightHolders::Kind::Accounts:
        row.choice = PermissionChoice::AnyAccount;
        break;
      case RightHolders::Kind::Names:
        row.choice = PermissionChoice::OnlyNames;
        row.names = JoinNames(own->names);
        break;
    }
  }
  return choices;
}

std::string CheckPermissionChoices(const PermissionChoices& choices,
                                   const std::vector<std::string>& accounts) {
  for (FolderRight right : kFolderRights) {
    const PermissionRow& row = choices.rows[Index(right)];
    if (row.choice != PermissionChoice::OnlyNames) continue;
    const std::vector<std::string> names = TypedNames(row.names);
    if (names.empty()) {
      return std::string(PermissionRowLabel(right)) +
             ": name at least one account, separated by commas.";
    }
    for (const std::string& name : names) {
      if (std::find(accounts.begin(), accounts.end(), name) == accounts.end()) {
        return std::string(PermissionRowLabel(right)) + ": there is no account named \"" + name +
               "\". Add it with Accounts... on the Settings page first.";
      }
    }
  }
  return "";
}

bool StorePermissionChoices(const PermissionChoices& choices, FolderRightsTable& rights,
                            const std::string& folderPath) {
  bool changed = false;
  for (FolderRight right : kFolderRights) {
    const PermissionRow& row = choices.rows[Index(right)];
    std::optional<RightHolders> wanted;
    if (row.choice != PermissionChoice::Inherited) {
      RightHolders holders;
      if (row.choice == PermissionChoice::AnyAccount) holders.kind = RightHolders::Kind::Accounts;
      if (row.choice == PermissionChoice::OnlyNames) {
        holders.kind = RightHolders::Kind::Names;
        holders.names = TypedNames(row.names);
      }
      wanted = std::move(holders);
    }
    if (wanted == rights.Own(folderPath, right)) continue;
    changed = true;
    if (wanted) {
      rights.Set(folderPath, right, std::move(*wanted));
    } else {
      rights.Unset(folderPath, right);
    }
  }
  return changed;
}
