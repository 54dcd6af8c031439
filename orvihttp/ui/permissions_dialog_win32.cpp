#include "orvihttp/ui/permissions_dialog_win32.h"

#include "foundation/debug_output.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "orvihttp/ui/ui_module_win32.h"

namespace {

constexpr int kNamesLimit = 1024;
// Wide enough for an inherited line naming several accounts.
constexpr int kDroppedWidth = 420;

struct DialogState {
  const FolderRightsTable& rights;
  const std::string& folderPath;
  const std::vector<std::string>& accounts;
  PermissionChoices choices;
};

int Row(FolderRight right) {
  return static_cast<int>(right);
}

PermissionChoices Entered(HWND dialog) {
  PermissionChoices choices;
  for (FolderRight right : kFolderRights) {
    PermissionRow& row = choices.rows[Row(right)];
    const LRESULT chosen =
        SendDlgItemMessageA(dialog, IDC_PERMISSION_CHOICE_FIRST + Row(right), CB_GETCURSEL, 0, 0);
    row.choice = chosen < 0 ? PermissionChoice::Inherited : static_cast<PermissionChoice>(chosen);
    if (row.choice == PermissionChoice::OnlyNames) {
      row.names = ControlText(dialog, IDC_PERMISSION_NAMES_FIRST + Row(right), kNamesLimit);
    }
  }
  return choices;
}

// The names field is for the last choice only.
void EnableNames(HWND dialog) {
  const PermissionChoices choices = Entered(dialog);
  for (FolderRight right : kFolderRights) {
    EnableWindow(GetDlgItem(dialog, IDC_PERMISSION_NAMES_FIRST + Row(right)),
                 choices.rows[Row(right)].choice == PermissionChoice::OnlyNames);
  }
}

void Fill(HWND dialog, const DialogState& state) {
  SetWindowTextA(dialog, PermissionsTitle(state.folderPath).c_str());
  for (FolderRight right : kFolderRights) {
    const int row = Row(right);
    SetDlgItemTextA(dialog, IDC_PERMISSION_LABEL_FIRST + row, PermissionRowLabel(right));
    HWND box = GetDlgItem(dialog, IDC_PERMISSION_CHOICE_FIRST + row);
    for (const std::string& text : PermissionChoiceTexts(state.rights, state.folderPath, right)) {
      SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageA(box, CB_SETDROPPEDWIDTH, kDroppedWidth, 0);
    SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(state.choices.rows[row].choice), 0);
    SendDlgItemMessageA(dialog, IDC_PERMISSION_NAMES_FIRST + row, EM_LIMITTEXT, kNamesLimit, 0);
    SetDlgItemTextA(dialog, IDC_PERMISSION_NAMES_FIRST + row,
                    state.choices.rows[row].names.c_str());
  }
  EnableNames(dialog);
}

INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) try {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      Fill(dialog, *reinterpret_cast<DialogState*>(lparam));
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      if (!state) return FALSE;
      if (id == IDOK) {
        const PermissionChoices entered = Entered(dialog);
        const std::string problem = CheckPermissionChoices(entered, state->accounts);
        if (problem.empty()) {
          state->choices = entered;
          EndDialog(dialog, IDOK);
        } else {
          ShowText(dialog, IDC_PERMISSIONS_MESSAGE, problem);
        }
      } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      } else if (id >= IDC_PERMISSION_CHOICE_FIRST && id < IDC_PERMISSION_CHOICE_FIRST + 3 &&
                 code == CBN_SELCHANGE) {
        EnableNames(dialog);
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
} catch (...) {
  ReportUncaughtException("Permissions dialog");
  return FALSE;
}

}  // namespace

bool ShowPermissionsDialog(HWND owner, const FolderRightsTable& rights,
                           const std::string& folderPath, const std::vector<std::string>& accounts,
                           PermissionChoices& choices) {
  DialogState state{rights, folderPath, accounts, choices};
  const INT_PTR result = DialogBoxParamA(UiModule(), MAKEINTRESOURCEA(IDD_PERMISSIONS_DIALOG),
                                         owner, Proc, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return false;
  choices = state.choices;
  return true;
}
