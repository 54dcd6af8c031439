#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "orvihttp/access/folder_rights.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/ui/permissions_dialog_model.h"

// What the Directory page does to its working copy of the tree and to the
// tree display, apart from the drawing. The display is reached through
// DirectoryItems, so the same rules drive the real tree control and a plain
// one in the tests.

using DirectoryItem = std::uintptr_t;  // 0 stands for no item
enum class DirectoryItemKind { Folder, File };

class DirectoryItems {
 public:
  virtual ~DirectoryItems() = default;
  virtual void DeleteAll() = 0;
  // Inserts an item last among the children of `parent` (0 for the top level)
  // and expands `parent`. `realPath` is the real file of a file item.
  virtual DirectoryItem Insert(DirectoryItem parent, const std::string& label,
                               DirectoryItemKind kind, const std::string& realPath) = 0;
  // Deletes the item and every item below it.
  virtual void Delete(DirectoryItem item) = 0;
  virtual void SetLabel(DirectoryItem item, const std::string& label) = 0;
  virtual DirectoryItem Parent(DirectoryItem item) const = 0;
  virtual std::vector<DirectoryItem> Children(DirectoryItem item) const = 0;
  virtual std::string Label(DirectoryItem item) const = 0;
  virtual DirectoryItemKind Kind(DirectoryItem item) const = 0;
  // Orders the children of `item` with LabelBefore, one level only.
  virtual void SortChildren(DirectoryItem item) = 0;
};

// The order of one level of the display: by label, ignoring case, folders and
// files mixed.
bool LabelBefore(const std::string& left, const std::string& right);

// A folder the page can import: refused are a drive's root (a path that ends
// with the separator, such as C:\) and a path without any separator.
bool IsImportableFolder(const std::string& path, char separator);

// The files an open dialog with several choices returns in its buffer: one
// full path, or the folder followed by the chosen names, each ended by a 0
// byte, with one more 0 at the end. Gives each file's name and full path.
std::vector<std::pair<std::string, std::string>> ChosenFiles(const char* buffer, std::size_t size,
                                                             char separator);

inline constexpr char kFileExistsText[] = "File already exists: ";
inline constexpr char kFolderExistsText[] = "Directory already exists: ";
inline constexpr char kCannotImportText[] = "Cannot add this directory! Please select another one.";

// "Uploads go to...": the line under the tree while a folder that takes
// uploads is selected, the folder chooser's title, and the question put when
// the folder takes uploads already. `folderPath` is the virtual folder.
std::string UploadFolderLine(const std::string& realFolder);
std::string UploadFolderChooserTitle(const std::string& folderPath);
std::string UploadFolderQuestion(const std::string& folderPath, const std::string& realFolder);

// The answers to UploadFolderQuestion, as its Yes, No and Cancel buttons.
enum class UploadFolderAnswer { ChooseAnother, Stop, Keep };

// The dialogs "Uploads go to..." opens. `choose` shows the folder chooser
// with a title and the current folder picked ("" for none) and gives the
// chosen folder, or "" when cancelled.
struct UploadFolderDialogs {
  std::function<UploadFolderAnswer(const std::string& question)> ask;
  std::function<std::string(const std::string& title, const std::string& current)> choose;
};

class DirectoryPageModel {
 public:
  // `markChanged` after every edit; `showError` shows a refusal to the user.
  DirectoryPageModel(DirectoryItems& items, std::function<void()> markChanged,
                     std::function<void(const std::string&)> showError);

  const VirtualFolder& workingTree() const { return tree_; }
  // The working copy of the folder rights, kept beside the tree: removing a
  // folder drops its rules. rightsChanged() tells whether OK or Apply has
  // anything to write, so an untouched page leaves the rights file alone.
  const FolderRightsTable& workingRights() const { return rights_; }
  bool rightsChanged() const { return rightsChanged_; }
  void LoadRights(FolderRightsTable rights);
  // After OK or Apply wrote the rights.
  void RightsApplied() { rightsChanged_ = false; }
  // The virtual path of a folder item ("/" for the root item, "/a/b" below
  // it); nothing for a file item or no item.
  std::optional<std::string> FolderPathOf(DirectoryItem item) const;
  // What the Permissions dialog chose for the folder at `folderPath`.
  void StorePermissions(const std::string& folderPath, const PermissionChoices& choices);
  // "Uploads go to..." on the selected folder item: a folder that takes no
  // uploads yet gets the folder chosen; for one that does, the user first
  // says whether to choose another, stop its uploads or keep it. The choice
  // goes into the working rights, so OK and Apply save it.
  void ChooseUploadFolder(DirectoryItem selected, const UploadFolderDialogs& dialogs);
  // UploadFolderLine for the selected folder item, "" when it takes no
  // uploads (or is no folder item).
  std::string UploadFolderLineOf(DirectoryItem selected) const;

  // Takes a copy of a tree and shows it whole.
  void Load(const VirtualFolder& tree);
  // Before OK or Apply put the working tree in force: the files that
  // uploads added to the live tree `live` since Load, or that a DELETE took
  // out of it, are added to or removed from the working tree too (in their
  // folder, where it still has its name), so the user's edits do not undo
  // what visitors did meanwhile. The display follows when anything changed.
  void TakeInLiveChanges(const VirtualFolder& live);
  // Adds files (name, full path) to the folder of the selected item, in the
  // given order, up to the first name that exists already.
  void AddFiles(DirectoryItem selected,
                const std::vector<std::pair<std::string, std::string>>& files);
  // Imports the contents of a real folder into the folder of the selected
  // item. `separator` is the path separator of the platform that chose it.
  void ImportFolder(DirectoryItem selected, const std::string& realFolder, char separator);
  // An empty name does nothing.
  void CreateFolder(DirectoryItem selected, const std::string& name);
  void Remove(DirectoryItem selected);
  // Gives the selected folder or file (not the root) a new name, in the tree
  // and the display; a folder's rights go along with it. False when nothing
  // changed: an empty or equal name, or one its folder already holds for an
  // entry of that kind (then shown as an error).
  bool Rename(DirectoryItem selected, const std::string& name);
  void ClearAll();

  DirectoryItem rootItem() const { return root_; }

 private:
  void Rebuild();
  // Runs an edit of the rights and notes whether it changed them.
  void EditRights(const std::function<void(FolderRightsTable&)>& edit);
  void InsertContents(DirectoryItem item, const VirtualFolder& folder);
  // The folder item that edits of `selected` go to: the item itself, the
  // parent of a file item, the root item when nothing is selected.
  DirectoryItem TargetItem(DirectoryItem selected) const;
  VirtualFolder& FolderOf(DirectoryItem item);
  DirectoryItem ChildFolderItem(DirectoryItem parent, const std::string& label) const;

  DirectoryItems& items_;
  std::function<void()> markChanged_;
  std::function<void(const std::string&)> showError_;
  VirtualFolder tree_;
  // The tree as Load (or the last TakeInLiveChanges) found it.
  VirtualFolder loaded_;
  FolderRightsTable rights_;
  bool rightsChanged_ = false;
  DirectoryItem root_ = 0;
};
