#include "orvihttp/ui/directory_page_model.h"

#include <algorithm>

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Join(const std::string& folder, const std::string& name, char separator) {
  if (!folder.empty() && folder.back() == separator) return folder + name;
  return folder + separator + name;
}

template <typename List>
void EraseFirstNamed(List& list, const std::string& name) {
  auto found =
      std::find_if(list.begin(), list.end(), [&](const auto& entry) { return entry.name == name; });
  if (found != list.end()) list.erase(found);
}

}  // namespace

bool LabelBefore(const std::string& left, const std::string& right) {
  return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                      [](char a, char b) {
                                        return static_cast<unsigned char>(LowerAscii(a)) <
                                               static_cast<unsigned char>(LowerAscii(b));
                                      });
}

bool IsImportableFolder(const std::string& path, char separator) {
  return !path.empty() && path.back() != separator && path.find(separator) != std::string::npos;
}

std::vector<std::pair<std::string, std::string>> ChosenFiles(const char* buffer, std::size_t size,
                                                             char separator) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at < size && buffer[at] != '\0') {
    std::size_t end = at;
    while (end < size && buffer[end] != '\0') ++end;
    parts.emplace_back(buffer + at, end - at);
    at = end + 1;
  }
  std::vector<std::pair<std::string, std::string>> files;
  if (parts.size() == 1) {
    std::string::size_type cut = parts[0].rfind(separator);
    std::string name = cut == std::string::npos ? parts[0] : parts[0].substr(cut + 1);
    files.emplace_back(name, parts[0]);
    return files;
  }
  for (std::size_t index = 1; index < parts.size(); ++index) {
    files.emplace_back(parts[index], Join(parts[0], parts[index], separator));
  }
  return files;
}

std::string UploadFolderLine(const std::string& realFolder) {
  return "Uploads go to " + realFolder;
}

std::string UploadFolderChooserTitle(const std::string& folderPath) {
  return "Choose the folder that receives the files uploaded to " + folderPath + ".";
}

std::string UploadFolderQuestion(const std::string& folderPath, const std::string& realFolder) {
  return "Files uploaded to " + folderPath + " are saved in\n" + realFolder +
         "\n\nYes: choose another folder\nNo: stop uploads to " + folderPath +
         "\nCancel: keep this folder";
}

DirectoryPageModel::DirectoryPageModel(DirectoryItems& items, std::function<void()> markChanged,
                                       std::function<void(const std::string&)> showError)
    : items_(items), markChanged_(std::move(markChanged)), showError_(std::move(showError)) {}

void DirectoryPageModel::Load(const VirtualFolder& tree) {
  tree_ = tree;
  loaded_ = tree;
  Rebuild();
}

namespace {

// Brings the files that differ between `before` and `after` (one folder of
// the live tree then and now, either missing) into `working`. True when
// `working` changed.
bool CarryFileChanges(const VirtualFolder* before, const VirtualFolder* after,
                      VirtualFolder& working) {
  bool changed = false;
  if (after) {
    for (const VirtualFile& file : after->files) {
      const VirtualFile* was = before ? before->FindFile(file.name) : nullptr;
      if ((was && was->realPath == file.realPath) || working.FindFolder(file.name)) continue;
      if (VirtualFile* same = working.FindFile(file.name)) {
        // An upload that replaced a file of the same name.
        changed |= same->realPath != file.realPath;
        same->realPath = file.realPath;
      } else {
        changed |= working.AddFile(file.name, file.realPath);
      }
    }
  }
  if (before) {
    for (const VirtualFile& file : before->files) {
      if (after && after->FindFile(file.name)) continue;
      // Only what the user left as it was: a file they changed stays theirs.
      const VirtualFile* same = working.FindFile(file.name);
      if (same && same->realPath == file.realPath && !working.FindFolder(file.name)) {
        working.RemoveEntry(file.name);
        changed = true;
      }
    }
  }
  for (VirtualFolder& sub : working.subfolders) {
    const VirtualFolder* was = before ? before->FindFolder(sub.name) : nullptr;
    const VirtualFolder* is = after ? after->FindFolder(sub.name) : nullptr;
    if (was || is) changed |= CarryFileChanges(was, is, sub);
  }
  return changed;
}

}  // namespace

void DirectoryPageModel::TakeInLiveChanges(const VirtualFolder& live) {
  const bool changed = CarryFileChanges(&loaded_, &live, tree_);
  loaded_ = live;
  if (changed) Rebuild();
}

void DirectoryPageModel::LoadRights(FolderRightsTable rights) {
  rights_ = std::move(rights);
  rightsChanged_ = false;
}

void DirectoryPageModel::EditRights(const std::function<void(FolderRightsTable&)>& edit) {
  const std::string before = rights_.Serialize();
  edit(rights_);
  if (rights_.Serialize() == before) return;
  rightsChanged_ = true;
  markChanged_();
}

std::optional<std::string> DirectoryPageModel::FolderPathOf(DirectoryItem item) const {
  if (item == 0 || items_.Kind(item) != DirectoryItemKind::Folder) return std::nullopt;
  std::string path;
  for (DirectoryItem at = item; at != 0 && at != root_; at = items_.Parent(at)) {
    path = "/" + items_.Label(at) + path;
  }
  return path.empty() ? "/" : path;
}

void DirectoryPageModel::StorePermissions(const std::string& folderPath,
                                          const PermissionChoices& choices) {
  EditRights(
      [&](FolderRightsTable& rights) { StorePermissionChoices(choices, rights, folderPath); });
}

void DirectoryPageModel::ChooseUploadFolder(DirectoryItem selected,
                                            const UploadFolderDialogs& dialogs) {
  const std::optional<std::string> folder = FolderPathOf(selected);
  if (!folder) return;
  const std::optional<std::string> current = rights_.UploadTo(*folder);
  if (current) {
    switch (dialogs.ask(UploadFolderQuestion(*folder, *current))) {
      case UploadFolderAnswer::Keep:
        return;
      case UploadFolderAnswer::Stop:
        EditRights([&](FolderRightsTable& rights) { rights.SetUploadTo(*folder, std::nullopt); });
        return;
      case UploadFolderAnswer::ChooseAnother:
        break;
    }
  }
  const std::string chosen =
      dialogs.choose(UploadFolderChooserTitle(*folder), current.value_or(""));
  if (chosen.empty()) return;
  EditRights([&](FolderRightsTable& rights) { rights.SetUploadTo(*folder, chosen); });
}

std::string DirectoryPageModel::UploadFolderLineOf(DirectoryItem selected) const {
  const std::optional<std::string> folder = FolderPathOf(selected);
  if (!folder) return "";
  const std::optional<std::string> realFolder = rights_.UploadTo(*folder);
  return realFolder ? UploadFolderLine(*realFolder) : "";
}

void DirectoryPageModel::Rebuild() {
  items_.DeleteAll();
  root_ = items_.Insert(0, "/", DirectoryItemKind::Folder, "");
  InsertContents(root_, tree_);
}

void DirectoryPageModel::InsertContents(DirectoryItem item, const VirtualFolder& folder) {
  for (const VirtualFolder& sub : folder.subfolders) {
    InsertContents(items_.Insert(item, sub.name, DirectoryItemKind::Folder, ""), sub);
  }
  for (const VirtualFile& file : folder.files) {
    items_.Insert(item, file.name, DirectoryItemKind::File, file.realPath);
  }
}

DirectoryItem DirectoryPageModel::TargetItem(DirectoryItem selected) const {
  if (selected == 0) return root_;
  if (items_.Kind(selected) == DirectoryItemKind::File) return items_.Parent(selected);
  return selected;
}

VirtualFolder& DirectoryPageModel::FolderOf(DirectoryItem item) {
  // The labels from below the root down to the item. They are matched name by
  // name, so a folder name holding a "/" is found as well.
  std::vector<std::string> labels;
  for (DirectoryItem at = item; at != 0 && at != root_; at = items_.Parent(at)) {
    labels.push_back(items_.Label(at));
  }
  VirtualFolder* folder = &tree_;
  for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
    folder = folder->FindFolder(*label);
    if (!folder) return tree_;
  }
  return *folder;
}

DirectoryItem DirectoryPageModel::ChildFolderItem(DirectoryItem parent,
                                                  const std::string& label) const {
  for (DirectoryItem child : items_.Children(parent)) {
    if (items_.Kind(child) == DirectoryItemKind::Folder && items_.Label(child) == label) {
      return child;
    }
  }
  return 0;
}

void DirectoryPageModel::AddFiles(DirectoryItem selected,
                                  const std::vector<std::pair<std::string, std::string>>& files) {
  if (files.empty()) return;
  DirectoryItem target = TargetItem(selected);
  VirtualFolder& folder = FolderOf(target);
  for (const auto& [name, realPath] : files) {
    if (!folder.AddFile(name, realPath)) {
      showError_(kFileExistsText + name);
      break;
    }
    markChanged_();
    items_.Insert(target, name, DirectoryItemKind::File, realPath);
  }
  items_.SortChildren(target);
}

void DirectoryPageModel::ImportFolder(DirectoryItem selected, const std::string& realFolder,
                                      char separator) {
  if (!IsImportableFolder(realFolder, separator)) {
    showError_(kCannotImportText);
    return;
  }
  DirectoryItem target = TargetItem(selected);
  VirtualFolder& folder = FolderOf(target);
  bool added = ::ImportFolder(
      folder, realFolder,
      [&](const std::vector<std::string>& folders, const std::string& name, bool isFolder,
          const std::string& realPath) {
        // The display follows the import: existing
        // folder items are reused.
        DirectoryItem parent = target;
        for (const std::string& label : folders) {
          parent = ChildFolderItem(parent, label);
        }
        items_.Insert(parent, name, isFolder ? DirectoryItemKind::Folder : DirectoryItemKind::File,
                      realPath);
      });
  if (added) markChanged_();
  items_.SortChildren(target);
}

void DirectoryPageModel::CreateFolder(DirectoryItem selected, const std::string& name) {
  if (name.empty()) return;
  DirectoryItem target = TargetItem(selected);
  if (!FolderOf(target).AddFolder(name)) {
    showError_(kFolderExistsText + name);
    return;
  }
  markChanged_();
  items_.Insert(target, name, DirectoryItemKind::Folder, "");
  items_.SortChildren(target);
}

void DirectoryPageModel::Remove(DirectoryItem selected) {
  if (selected == 0 || selected == root_) return;
  // The entry of the selected kind goes, even where a folder and a file share
  // a name, so the display and the tree keep agreeing.
  VirtualFolder& parent = FolderOf(items_.Parent(selected));
  const std::string label = items_.Label(selected);
  if (items_.Kind(selected) == DirectoryItemKind::Folder) {
    const std::string path = FolderPathOf(selected).value_or("/");
    EraseFirstNamed(parent.subfolders, label);
    EditRights([&](FolderRightsTable& rights) { rights.RemoveFolder(path); });
  } else {
    EraseFirstNamed(parent.files, label);
  }
  markChanged_();
  items_.Delete(selected);
}

bool DirectoryPageModel::Rename(DirectoryItem selected, const std::string& name) {
  if (selected == 0 || selected == root_ || name.empty()) return false;
  const std::string label = items_.Label(selected);
  if (name == label) return false;
  const DirectoryItem parentItem = items_.Parent(selected);
  VirtualFolder& parent = FolderOf(parentItem);
  if (items_.Kind(selected) == DirectoryItemKind::Folder) {
    VirtualFolder* folder = parent.FindFolder(label);
    VirtualFolder* taken = parent.FindFolder(name);
    if (!folder) return false;
    if (taken && taken != folder) {
      showError_(kFolderExistsText + name);
      return false;
    }
    const std::string from = FolderPathOf(selected).value_or("/");
    folder->name = name;
    const std::string to = from.substr(0, from.rfind('/') + 1) + name;
    EditRights([&](FolderRightsTable& rights) { rights.RenameFolder(from, to); });
  } else {
    VirtualFile* file = parent.FindFile(label);
    VirtualFile* taken = parent.FindFile(name);
    if (!file) return false;
    if (taken && taken != file) {
      showError_(kFileExistsText + name);
      return false;
    }
    file->name = name;
  }
  markChanged_();
  items_.SetLabel(selected, name);
  items_.SortChildren(parentItem);
  return true;
}

void DirectoryPageModel::ClearAll() {
  tree_.Clear();
  // The root stays, and so do its own rules.
  EditRights([](FolderRightsTable& rights) {
    for (const std::string& folder : rights.Folders()) {
      if (folder != "/") rights.RemoveFolder(folder);
    }
  });
  Rebuild();
  markChanged_();
}
