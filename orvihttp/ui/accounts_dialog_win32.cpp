#include "orvihttp/ui/accounts_dialog_win32.h"

#include <vector>

#include "foundation/debug_output.h"
#include "orvihttp/ui/accounts_dialog_model.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "orvihttp/ui/ui_module_win32.h"

namespace {

constexpr int kFieldLimit = 256;

struct DialogState {
  Server& server;
  AccountsDialogModel model;
};

// A password box's text in a buffer that is wiped when it goes, so the
// password does not linger in freed memory.
class TypedPassword {
 public:
  TypedPassword(HWND dialog, int id) : text_(kFieldLimit + 1, '\0') {
    GetDlgItemTextA(dialog, id, text_.data(), kFieldLimit + 1);
    text_.resize(std::char_traits<char>::length(text_.c_str()));
  }
  ~TypedPassword() { SecureZeroMemory(text_.data(), text_.capacity()); }
  TypedPassword(const TypedPassword&) = delete;
  TypedPassword& operator=(const TypedPassword&) = delete;

  const std::string& Value() const { return text_; }

 private:
  std::string text_;
};

std::string SelectedName(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_ACCOUNT_LIST);
  const LRESULT line = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (line < 0) return "";
  std::vector<char> text(static_cast<std::size_t>(SendMessageA(list, LB_GETTEXTLEN, line, 0)) + 1);
  SendMessageA(list, LB_GETTEXT, line, reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

void FillList(HWND dialog, const AccountsDialogModel& model, const std::string& select) {
  HWND list = GetDlgItem(dialog, IDC_ACCOUNT_LIST);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : model.Names()) {
    const LRESULT line =
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (name == select) SendMessageA(list, LB_SETCURSEL, line, 0);
  }
}

// After an edit: the outcome in the message line; the password boxes are
// emptied either way, so a password is typed again rather than kept.
void Show(HWND dialog, const AccountsDialogModel& model, const std::string& outcome,
          const std::string& select) {
  SetDlgItemTextA(dialog, IDC_ACCOUNT_PASSWORD, "");
  SetDlgItemTextA(dialog, IDC_ACCOUNT_PASSWORD_AGAIN, "");
  ShowText(dialog, IDC_ACCOUNT_MESSAGE, outcome);
  if (outcome.empty()) FillList(dialog, model, select);
}

void Edit(HWND dialog, DialogState& state, int button) {
  const TypedPassword password(dialog, IDC_ACCOUNT_PASSWORD);
  const TypedPassword again(dialog, IDC_ACCOUNT_PASSWORD_AGAIN);
  // Hashing takes a moment; the wait cursor says the click was taken.
  HCURSOR before = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  std::string outcome;
  std::string select;
  if (button == IDC_ACCOUNT_ADD) {
    select = ControlText(dialog, IDC_ACCOUNT_NAME, kFieldLimit);
    outcome = state.model.Add(select, password.Value(), again.Value());
    if (outcome.empty()) SetDlgItemTextA(dialog, IDC_ACCOUNT_NAME, "");
  } else if (button == IDC_ACCOUNT_SET_PASSWORD) {
    select = SelectedName(dialog);
    outcome = state.model.SetPassword(select, password.Value(), again.Value());
  } else {
    outcome = state.model.Remove(SelectedName(dialog));
  }
  SetCursor(before);
  Show(dialog, state.model, outcome, select);
}

INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) try {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      auto& initial = *reinterpret_cast<DialogState*>(lparam);
      for (int id : {IDC_ACCOUNT_NAME, IDC_ACCOUNT_PASSWORD, IDC_ACCOUNT_PASSWORD_AGAIN}) {
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kFieldLimit, 0);
      }
      FillList(dialog, initial.model, "");
      ShowText(dialog, IDC_ACCOUNT_MESSAGE, initial.model.loadError());
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      if (!state) return FALSE;
      if (id == IDOK) {
        const std::string error = state->model.Commit(state->server);
        if (error.empty()) {
          EndDialog(dialog, IDOK);
        } else {
          ShowText(dialog, IDC_ACCOUNT_MESSAGE, error);
        }
      } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      } else if ((id == IDC_ACCOUNT_ADD || id == IDC_ACCOUNT_SET_PASSWORD ||
                  id == IDC_ACCOUNT_REMOVE) &&
                 code == BN_CLICKED) {
        Edit(dialog, *state, id);
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
} catch (...) {
  ReportUncaughtException("Accounts dialog");
  return FALSE;
}

}  // namespace

void ShowAccountsDialog(HWND owner, Server& server, const std::string& installFolder) {
  DialogState state{server, AccountsDialogModel(installFolder)};
  DialogBoxParamA(UiModule(), MAKEINTRESOURCEA(IDD_ACCOUNTS_DIALOG), owner, Proc,
                  reinterpret_cast<LPARAM>(&state));
}
