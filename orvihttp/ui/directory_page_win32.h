#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

#include "orvihttp/access/folder_rights.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/ui/page_window_win32.h"

class DirectoryPageModel;
class TreeControlItems;

// The "Directory" page: builds the published tree on a private copy, taken
// when the page opens; OK and Apply put it in place of the live tree.
class DirectoryPage final : public PageWindow {
 public:
  // `markChanged` runs after every edit (it enables Apply).
  DirectoryPage(VirtualDirectory& directory, std::function<void()> markChanged);
  ~DirectoryPage() override;

  // Before OK or Apply: takes in what uploads and deletes changed in the
  // live tree since the page opened (see DirectoryPageModel).
  void TakeInLiveChanges();
  const VirtualFolder& workingTree() const;
  // The working copy of the folder rights, and whether it differs from the
  // file's; RightsApplied after OK or Apply wrote it.
  const FolderRightsTable& workingRights() const;
  bool rightsChanged() const;
  void RightsApplied();

 private:
  void OnCreate() override;
  void OnCommand(int id, int code) override;
  void OnNotify(NMHDR* header) override;

  void AddFiles();
  void ImportFolder();
  void CreateFolder();
  void EditPermissions();
  void ChooseUploadFolder();
  // The buttons that need a selected item, and the upload folder line.
  void FollowSelection();
  void RenameItem(HTREEITEM item, const std::string& name);
  void ShowError(const std::string& text);
  uintptr_t Selected() const;

  VirtualDirectory& directory_;
  std::function<void()> markChanged_;
  std::unique_ptr<TreeControlItems> items_;
  std::unique_ptr<DirectoryPageModel> model_;
  // Why the rights file could not be read, when it could not: the page then
  // refuses to edit rights rather than write over the file's.
  std::string rightsLoadError_;
};
