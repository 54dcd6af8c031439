#include "orvihttp/ui/directory_page_win32.h"

#include <commdlg.h>
#include <shellapi.h>

#include <map>
#include <vector>

#include "desktop/dialog_helpers.h"
#include "foundation/paths.h"
#include "foundation/setting_key.h"
#include "foundation/thread.h"
#include "orvihttp/access/user_accounts.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/ui/directory_page_model.h"
#include "orvihttp/ui/permissions_dialog_win32.h"
#include "orvihttp/ui/plugin_resources.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "orvihttp/ui/ui_module_win32.h"

namespace {

// What the open dialog may hand back: the folder and every chosen name.
constexpr DWORD kChosenFilesLimit = 4096;
constexpr int kLabelLimit = 1024;

int SystemIconIndex(const char* path, DWORD attributes, UINT flags) {
  SHFILEINFOA info{};
  SHGetFileInfoA(path, attributes, &info, sizeof info,
                 SHGFI_SYSICONINDEX | SHGFI_SMALLICON | flags);
  return info.iIcon;
}

}  // namespace

// The tree control as the page model sees it. Each item's data holds its kind
// in the lowest bit and a running number above it.
class TreeControlItems final : public DirectoryItems {
 public:
  explicit TreeControlItems(HWND tree) : tree_(tree) {
    // The shell's own small icons, by index in its image list; that list
    // belongs to the system and is never destroyed here.
    SHFILEINFOA info{};
    auto images = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    TreeView_SetImageList(tree_, images, TVSIL_NORMAL);
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    std::string drive = std::string(windows).substr(0, 3);
    driveIcon_ = SystemIconIndex(drive.c_str(), 0, 0);
    folderIcon_ = SystemIconIndex("folder", FILE_ATTRIBUTE_DIRECTORY, SHGFI_USEFILEATTRIBUTES);
    openFolderIcon_ = SystemIconIndex("folder", FILE_ATTRIBUTE_DIRECTORY,
                                      SHGFI_USEFILEATTRIBUTES | SHGFI_OPENICON);
    TreeView_SetBkColor(tree_, RGB(255, 255, 255));
  }

  void DeleteAll() override { TreeView_DeleteAllItems(tree_); }

  DirectoryItem Insert(DirectoryItem parent, const std::string& label, DirectoryItemKind kind,
                       const std::string& realPath) override {
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent ? Handle(parent) : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(label.c_str());
    insert.item.lParam = static_cast<LPARAM>((++counter_ << 1) | (kind == DirectoryItemKind::File));
    if (!parent) {
      insert.item.iImage = insert.item.iSelectedImage = driveIcon_;
    } else if (kind == DirectoryItemKind::Folder) {
      insert.item.iImage = folderIcon_;
      insert.item.iSelectedImage = openFolderIcon_;
    } else {
      // By the file's type, so an entry whose file is missing still gets one.
      insert.item.iImage = insert.item.iSelectedImage =
          SystemIconIndex(realPath.c_str(), FILE_ATTRIBUTE_NORMAL, SHGFI_USEFILEATTRIBUTES);
    }
    HTREEITEM item = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    if (parent) TreeView_Expand(tree_, Handle(parent), TVE_EXPAND);
    return reinterpret_cast<DirectoryItem>(item);
  }

  void Delete(DirectoryItem item) override { TreeView_DeleteItem(tree_, Handle(item)); }

  void SetLabel(DirectoryItem item, const std::string& label) override {
    TVITEMA change{};
    change.mask = TVIF_TEXT;
    change.hItem = Handle(item);
    change.pszText = const_cast<char*>(label.c_str());
    SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
  }

  DirectoryItem Parent(DirectoryItem item) const override {
    return reinterpret_cast<DirectoryItem>(TreeView_GetParent(tree_, Handle(item)));
  }

  std::vector<DirectoryItem> Children(DirectoryItem item) const override {
    std::vector<DirectoryItem> children;
    for (HTREEITEM child = TreeView_GetChild(tree_, Handle(item)); child;
         child = TreeView_GetNextSibling(tree_, child)) {
      children.push_back(reinterpret_cast<DirectoryItem>(child));
    }
    return children;
  }

  std::string Label(DirectoryItem item) const override {
    char text[kLabelLimit] = {};
    TVITEMA query{};
    query.mask = TVIF_TEXT;
    query.hItem = Handle(item);
    query.pszText = text;
    query.cchTextMax = kLabelLimit;
    SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return text;
  }

  DirectoryItemKind Kind(DirectoryItem item) const override {
    return (Data(Handle(item)) & 1) ? DirectoryItemKind::File : DirectoryItemKind::Folder;
  }

  void SortChildren(DirectoryItem item) override {
    // The comparison sees item data only, so it gets the labels by data.
    std::map<LPARAM, std::string> labels;
    for (DirectoryItem child : Children(item)) labels[Data(Handle(child))] = Label(child);
    TVSORTCB sort{};
    sort.hParent = Handle(item);
    sort.lParam = reinterpret_cast<LPARAM>(&labels);
    sort.lpfnCompare = [](LPARAM left, LPARAM right, LPARAM table) -> int {
      const auto& byData = *reinterpret_cast<std::map<LPARAM, std::string>*>(table);
      const std::string& a = byData.at(left);
      const std::string& b = byData.at(right);
      if (LabelBefore(a, b)) return -1;
      if (LabelBefore(b, a)) return 1;
      return left < right ? -1 : (left > right ? 1 : 0);  // the older item first
    };
    TreeView_SortChildrenCB(tree_, &sort, FALSE);
  }

 private:
  static HTREEITEM Handle(DirectoryItem item) { return reinterpret_cast<HTREEITEM>(item); }
  LPARAM Data(HTREEITEM item) const {
    TVITEMA query{};
    query.mask = TVIF_PARAM;
    query.hItem = item;
    SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return query.lParam;
  }

  HWND tree_;
  LPARAM counter_ = 0;
  int driveIcon_ = 0;
  int folderIcon_ = 0;
  int openFolderIcon_ = 0;
};

DirectoryPage::DirectoryPage(VirtualDirectory& directory, std::function<void()> markChanged)
    : directory_(directory), markChanged_(std::move(markChanged)) {}

DirectoryPage::~DirectoryPage() = default;

void DirectoryPage::TakeInLiveChanges() {
  if (model_) model_->TakeInLiveChanges(directory_.CopyTree());
}

const VirtualFolder& DirectoryPage::workingTree() const {
  static const VirtualFolder kEmpty;
  return model_ ? model_->workingTree() : kEmpty;
}

const FolderRightsTable& DirectoryPage::workingRights() const {
  static const FolderRightsTable kNone;
  return model_ ? model_->workingRights() : kNone;
}

bool DirectoryPage::rightsChanged() const {
  return model_ && model_->rightsChanged();
}

void DirectoryPage::RightsApplied() {
  if (model_) model_->RightsApplied();
}

void DirectoryPage::OnCreate() {
  items_ = std::make_unique<TreeControlItems>(GetDlgItem(window_, IDC_DIRECTORY_TREE));
  model_ = std::make_unique<DirectoryPageModel>(
      *items_, [this] { markChanged_(); }, [this](const std::string& text) { ShowError(text); });
  model_->Load(directory_.CopyTree());
  FolderRightsTable rights;
  std::vector<std::string> problems;
  if (rights.Load(JoinPath(GetSetting(kInstallPath), kRightsFileName), &problems)) {
    model_->LoadRights(std::move(rights));
  } else {
    rightsLoadError_ = "The rights file cannot be read: " +
                       (problems.empty() ? std::string(kRightsFileName) : problems.front());
  }
  FollowSelection();
}

void DirectoryPage::OnNotify(NMHDR* header) {
  if (header->idFrom != IDC_DIRECTORY_TREE || !model_) return;
  // The tree may speak either character set, depending on how it asked.
  switch (header->code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
      FollowSelection();
      break;
    case TVN_BEGINLABELEDITA:
    case TVN_BEGINLABELEDITW: {
      // The root keeps its name: a true answer stops the edit.
      const auto* edit = reinterpret_cast<NMTVDISPINFOA*>(header);
      const bool root = reinterpret_cast<uintptr_t>(edit->item.hItem) == model_->rootItem();
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, root ? TRUE : FALSE);
      break;
    }
    case TVN_ENDLABELEDITA:
      if (const char* text = reinterpret_cast<NMTVDISPINFOA*>(header)->item.pszText) {
        RenameItem(reinterpret_cast<NMTVDISPINFOA*>(header)->item.hItem, text);
      }
      break;
    case TVN_ENDLABELEDITW:
      if (const wchar_t* text = reinterpret_cast<NMTVDISPINFOW*>(header)->item.pszText) {
        char narrow[kLabelLimit] = {};
        WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, kLabelLimit, nullptr, nullptr);
        RenameItem(reinterpret_cast<NMTVDISPINFOW*>(header)->item.hItem, narrow);
      }
      break;
    default:
      break;
  }
}

void DirectoryPage::RenameItem(HTREEITEM item, const std::string& name) {
  // The model sets the label itself when it takes the name, so the tree is
  // told to keep the old one in every case.
  model_->Rename(reinterpret_cast<uintptr_t>(item), name);
  SetWindowLongPtrA(window_, DWLP_MSGRESULT, FALSE);
}

void DirectoryPage::FollowSelection() {
  const uintptr_t selected = Selected();
  const bool folder = model_ && model_->FolderPathOf(selected).has_value();
  EnableWindow(GetDlgItem(window_, IDC_DIRECTORY_PERMISSIONS), folder);
  EnableWindow(GetDlgItem(window_, IDC_DIRECTORY_UPLOAD_FOLDER), folder);
  EnableWindow(GetDlgItem(window_, IDC_DIRECTORY_RENAME),
               model_ && selected != 0 && selected != model_->rootItem());
  SetDlgItemTextA(window_, IDC_DIRECTORY_UPLOAD_LINE,
                  model_ ? model_->UploadFolderLineOf(selected).c_str() : "");
}

void DirectoryPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED || !model_) return;
  switch (id) {
    case IDC_DIRECTORY_ADD_FILES:
      AddFiles();
      break;
    case IDC_DIRECTORY_REMOVE:
      model_->Remove(Selected());
      break;
    case IDC_DIRECTORY_CREATE:
      CreateFolder();
      break;
    case IDC_DIRECTORY_IMPORT:
      ImportFolder();
      break;
    case IDC_DIRECTORY_CLEAR:
      model_->ClearAll();
      break;
    case IDC_DIRECTORY_PERMISSIONS:
      EditPermissions();
      break;
    case IDC_DIRECTORY_UPLOAD_FOLDER:
      ChooseUploadFolder();
      break;
    case IDC_DIRECTORY_RENAME:
      // The tree's own label editing; its end comes back through OnNotify.
      if (HTREEITEM item = reinterpret_cast<HTREEITEM>(Selected())) {
        SetFocus(GetDlgItem(window_, IDC_DIRECTORY_TREE));
        SendDlgItemMessageA(window_, IDC_DIRECTORY_TREE, TVM_EDITLABELA, 0,
                            reinterpret_cast<LPARAM>(item));
      }
      break;
    default:
      break;
  }
}

uintptr_t DirectoryPage::Selected() const {
  return reinterpret_cast<uintptr_t>(
      TreeView_GetSelection(GetDlgItem(window_, IDC_DIRECTORY_TREE)));
}

void DirectoryPage::AddFiles() {
  std::vector<char> chosen(kChosenFilesLimit, '\0');
  static const char kFilter[] = "All files (*.*)\0*.*\0";
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = chosen.data();
  dialog.nMaxFile = kChosenFilesLimit;
  dialog.lpstrTitle = "Add files or directories";
  dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  // A selection too large for the buffer fails like a cancel.
  if (!GetOpenFileNameA(&dialog) || Thread::CurrentStopRequested()) return;
  model_->AddFiles(Selected(), ChosenFiles(chosen.data(), chosen.size(), kPathSeparator));
}

void DirectoryPage::ImportFolder() {
  std::string folder = BrowseForFolder(window_);
  if (folder.empty() || Thread::CurrentStopRequested()) return;
  model_->ImportFolder(Selected(), folder, kPathSeparator);
}

void DirectoryPage::CreateFolder() {
  std::string name =
      PromptForText(window_, "New directory", "Directory name:", IDC_NEW_DIRECTORY_FIELD);
  if (Thread::CurrentStopRequested()) return;
  model_->CreateFolder(Selected(), name);
}

void DirectoryPage::EditPermissions() {
  const std::optional<std::string> folder = model_->FolderPathOf(Selected());
  if (!folder) return;
  if (!rightsLoadError_.empty()) {
    ShowError(rightsLoadError_);
    return;
  }
  // The names a rule may give: the accounts as saved now.
  UserAccounts accounts;
  accounts.Load(JoinPath(GetSetting(kInstallPath), kUsersFileName), nullptr);
  PermissionChoices choices = PermissionChoicesOf(model_->workingRights(), *folder);
  if (!ShowPermissionsDialog(GetAncestor(window_, GA_ROOT), model_->workingRights(), *folder,
                             accounts.Names(), choices) ||
      Thread::CurrentStopRequested()) {
    return;
  }
  model_->StorePermissions(*folder, choices);
}

void DirectoryPage::ChooseUploadFolder() {
  if (!model_->FolderPathOf(Selected())) return;
  if (!rightsLoadError_.empty()) {
    ShowError(rightsLoadError_);
    return;
  }
  // A window closed while a dialog was open leaves the rights as they were.
  UploadFolderDialogs dialogs;
  dialogs.ask = [this](const std::string& question) {
    const int answer =
        MessageBoxA(window_, question.c_str(), kProductName, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (Thread::CurrentStopRequested()) return UploadFolderAnswer::Keep;
    if (answer == IDYES) return UploadFolderAnswer::ChooseAnother;
    return answer == IDNO ? UploadFolderAnswer::Stop : UploadFolderAnswer::Keep;
  };
  dialogs.choose = [this](const std::string& title, const std::string& current) {
    const std::string chosen = AskFolder(window_, title, current);
    return Thread::CurrentStopRequested() ? std::string() : chosen;
  };
  model_->ChooseUploadFolder(Selected(), dialogs);
  FollowSelection();
}

void DirectoryPage::ShowError(const std::string& text) {
  MessageBoxA(window_, text.c_str(), "Error", MB_OK | MB_ICONEXCLAMATION);
}
