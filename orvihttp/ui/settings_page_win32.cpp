#include "orvihttp/ui/settings_page_win32.h"

#include <string>
#include <vector>

#include "desktop/dialog_helpers.h"
#include "foundation/setting_key.h"
#include "foundation/thread.h"
#include "orvihttp/config/php_mode.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/http/ip_blacklist.h"
#include "orvihttp/ui/accounts_dialog_win32.h"
#include "orvihttp/ui/activity_text.h"
#include "orvihttp/ui/https_dialog_win32.h"
#include "orvihttp/ui/plugin_resources.h"
#include "orvihttp/ui/settings_page_model.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "orvihttp/ui/ui_module_win32.h"

namespace {

// What the page reads of a box: a number has at most 30 meaningful
// characters, a path at most 254.
constexpr int kNumberLimit = 30;
constexpr int kPathLimit = 254;

bool Checked(HWND page, int id) {
  return SendDlgItemMessageA(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace

SettingsPage::SettingsPage(Server& server, std::function<void(bool)> markChanged)
    : server_(server), blacklist_(server.blacklist()), markChanged_(std::move(markChanged)) {}

SettingsPage::~SettingsPage() = default;

void SettingsPage::OnCreate() {
  working_ = WorkingSettings::CopyOfLive();

  // Filling sends change notifications that write the same values back.
  SetDlgItemTextA(window_, IDC_PORT, std::to_string(working_.Get(kPort)).c_str());
  SetDlgItemTextA(window_, IDC_MAX_USERS, std::to_string(working_.Get(kMaxUsers)).c_str());
  SetDlgItemTextA(window_, IDC_MAX_DOWN, std::to_string(working_.Get(kMaxDown)).c_str());
  CheckDlgButton(window_, IDC_LOG, working_.Get(kLog) ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window_, IDC_PHP_ENABLE, working_.Get(kPhpEnable) ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window_, IDC_PHP_MODE,
                 PhpModeIsFastCgi(working_.Get(kPhpMode)) ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(window_, IDC_PHP_MODE), PhpModeBoxEnabled(working_.Get(kPhpEnable)));
  CheckDlgButton(window_, IDC_AUTO_LOAD_INDEX,
                 working_.Get(kAutoLoadIndex) ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window_, IDC_DIR_VIEW, working_.Get(kDirView) ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window_, IDC_ADVERTISE_RANGES,
                 working_.Get(kAdvertiseRanges) ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window_, IDC_FOLDER_ARCHIVES,
                 working_.Get(kFolderArchives) ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(window_, IDC_FOLDER_ARCHIVES),
               FolderArchivesBoxEnabled(working_.Get(kDirView)));
  SetDlgItemTextA(window_, IDC_LOG_PATH, working_.Get(kLogPath).c_str());
  SetDlgItemTextA(window_, IDC_PHP_PATH, working_.Get(kPhpPath).c_str());
  markChanged_(false);

  RefreshBlacklist();
  StartRefreshTimer(1000);
}

void SettingsPage::OnTimer() {
  RefreshBlacklist();
}

void SettingsPage::OnCommand(int id, int code) {
  switch (id) {
    case IDC_PORT:
      if (code == EN_CHANGE) NumberChanged(id, kPort);
      break;
    case IDC_MAX_USERS:
      if (code == EN_CHANGE) NumberChanged(id, kMaxUsers);
      break;
    case IDC_MAX_DOWN:
      if (code == EN_CHANGE) NumberChanged(id, kMaxDown);
      break;
    case IDC_AUTO_LOAD_INDEX:
      if (code == BN_CLICKED) CheckClicked(id, kAutoLoadIndex);
      break;
    case IDC_DIR_VIEW:
      if (code == BN_CLICKED) {
        CheckClicked(id, kDirView);
        EnableWindow(GetDlgItem(window_, IDC_FOLDER_ARCHIVES),
                     FolderArchivesBoxEnabled(working_.Get(kDirView)));
      }
      break;
    case IDC_FOLDER_ARCHIVES:
      if (code == BN_CLICKED) CheckClicked(id, kFolderArchives);
      break;
    case IDC_LOG:
      if (code == BN_CLICKED) CheckClicked(id, kLog);
      break;
    case IDC_ADVERTISE_RANGES:
      if (code == BN_CLICKED) CheckClicked(id, kAdvertiseRanges);
      break;
    case IDC_PHP_ENABLE:
      if (code == BN_CLICKED) {
        CheckClicked(id, kPhpEnable);
        EnableWindow(GetDlgItem(window_, IDC_PHP_MODE),
                     PhpModeBoxEnabled(working_.Get(kPhpEnable)));
      }
      break;
    case IDC_PHP_MODE:
      // Written only once clicked, so an OrviHTTP.ini without PHPMode keeps
      // going without one.
      if (code == BN_CLICKED) {
        markChanged_(true);
        working_.Set(kPhpMode, Checked(window_, id) ? kPhpModeFastCgi : kPhpModeCgi);
      }
      break;
    case IDC_LOG_PATH:
      if (code == EN_CHANGE) PathChanged(id, kLogPath);
      break;
    case IDC_PHP_PATH:
      if (code == EN_CHANGE) PathChanged(id, kPhpPath);
      break;
    case IDC_LOG_PATH_BROWSE:
      if (code == BN_CLICKED) ChooseLogFile();
      break;
    case IDC_PHP_PATH_BROWSE:
      if (code == BN_CLICKED) ChoosePhpFolder();
      break;
    case IDC_HTTPS_BUTTON:
      if (code == BN_CLICKED) ChooseHttps();
      break;
    case IDC_ACCOUNTS_BUTTON:
      if (code == BN_CLICKED) EditAccounts();
      break;
    case IDC_BLACKLIST_ADD:
      if (code == BN_CLICKED) AddToBlacklist();
      break;
    case IDC_BLACKLIST_REMOVE:
      if (code == BN_CLICKED) RemoveFromBlacklist();
      break;
    default:
      break;
  }
}

void SettingsPage::NumberChanged(int id, const IntKey& key) {
  markChanged_(true);
  working_.Set(key, NumberBoxValue(ControlText(window_, id, kNumberLimit)));
}

void SettingsPage::CheckClicked(int id, const BoolKey& key) {
  markChanged_(true);
  working_.Set(key, Checked(window_, id));
}

void SettingsPage::PathChanged(int id, const StringKey& key) {
  markChanged_(true);
  working_.Set(key, ControlText(window_, id, kPathLimit));
}

void SettingsPage::ChooseHttps() {
  HttpsChoices choices = HttpsChoicesOf(working_);
  if (!ShowHttpsDialog(GetAncestor(window_, GA_ROOT), choices, GetSetting(kInstallPath))) return;
  if (StoreHttpsChoices(choices, working_)) markChanged_(true);
}

void SettingsPage::EditAccounts() {
  // The accounts are saved by the dialog's own OK, not by Apply: nothing here
  // to mark changed.
  ShowAccountsDialog(GetAncestor(window_, GA_ROOT), server_, GetSetting(kInstallPath));
}

void SettingsPage::ChooseLogFile() {
  std::string chosen = AskSaveFileName("Select Log File",
                                       {{"Log file (*.log)", "*.log"}, {"All files (*.*)", "*.*"}},
                                       ".log", working_.Get(kLogPath));
  if (chosen.empty()) return;
  markChanged_(true);
  SetDlgItemTextA(window_, IDC_LOG_PATH, chosen.c_str());
  working_.Set(kLogPath, chosen);
}

void SettingsPage::ChoosePhpFolder() {
  std::string folder = BrowseForFolder(window_);
  if (folder.empty() || Thread::CurrentStopRequested()) return;
  std::optional<std::string> program = PhpProgramIn(folder);
  if (!program) {
    MessageBoxA(window_, kNoPhpProgramText, "Error", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  markChanged_(true);
  SetDlgItemTextA(window_, IDC_PHP_PATH, program->c_str());
  working_.Set(kPhpPath, *program);
}

void SettingsPage::AddToBlacklist() {
  std::string address = PromptForText(window_, "Blacklist IP", "IP to add:", IDC_BLACKLIST_FIELD);
  if (Thread::CurrentStopRequested()) return;
  AddTypedAddressToBlacklist(blacklist_, address);
  RefreshBlacklist();
}

void SettingsPage::RemoveFromBlacklist() {
  std::vector<std::string> banned = blacklist_.Addresses();
  int line = static_cast<int>(SendDlgItemMessageA(window_, IDC_BLACKLIST, LB_GETCURSEL, 0, 0));
  if (line < 0 || static_cast<std::size_t>(line) >= banned.size()) return;
  const std::string& address = banned[static_cast<std::size_t>(line)];
  int answer = MessageBoxA(window_, UnbanQuestion(address).c_str(), kProductName,
                           MB_OKCANCEL | MB_ICONQUESTION);
  if (answer != IDOK || Thread::CurrentStopRequested()) return;
  blacklist_.Unban(address);
  RefreshBlacklist();
}

void SettingsPage::RefreshBlacklist() {
  std::vector<std::string> banned = blacklist_.Addresses();
  HWND box = GetDlgItem(window_, IDC_BLACKLIST);
  auto shown = static_cast<std::size_t>(SendMessageA(box, LB_GETCOUNT, 0, 0));
  if (!BlacklistBoxIsStale(shown, banned)) return;
  SendMessageA(box, LB_RESETCONTENT, 0, 0);
  for (const std::string& address : banned) {
    SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(address.c_str()));
  }
}
