#include "orvihttp/ui/https_dialog_win32.h"

#include <ctime>

#include "desktop/dialog_helpers.h"
#include "foundation/debug_output.h"
#include "orvihttp/ui/activity_text.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "orvihttp/ui/ui_module_win32.h"

namespace {

constexpr int kPathLimit = 254;
constexpr int kNumberLimit = 30;

struct DialogState {
  HttpsChoices choices;
  std::string installFolder;
};

bool Checked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

HttpsChoices Entered(HWND dialog) {
  HttpsChoices choices;
  choices.https = Checked(dialog, IDC_HTTPS_ENABLE);
  choices.port = NumberBoxValue(ControlText(dialog, IDC_HTTPS_PORT, kNumberLimit));
  choices.certificateFile = ControlText(dialog, IDC_CERTIFICATE_FILE, kPathLimit);
  choices.keyFile = ControlText(dialog, IDC_KEY_FILE, kPathLimit);
  choices.redirect = Checked(dialog, IDC_REDIRECT_TO_HTTPS);
  return choices;
}

void ShowSummary(HWND dialog, const DialogState& state) {
  const std::string summary = CertificateSummary(Entered(dialog), state.installFolder,
                                                 static_cast<int64_t>(std::time(nullptr)));
  SetDlgItemTextA(dialog, IDC_CERTIFICATE_INFO, summary.c_str());
}

void Choose(HWND dialog, int field, const char* title, const char* caption) {
  const std::string chosen =
      AskOpenFileName(dialog, title, {{caption, "*.pem;*.crt;*.cer;*.key"}, {"All files", "*.*"}},
                      ControlText(dialog, field, kPathLimit));
  if (!chosen.empty()) SetDlgItemTextA(dialog, field, chosen.c_str());
}

void Fill(HWND dialog, const DialogState& state) {
  const HttpsChoices& choices = state.choices;
  CheckDlgButton(dialog, IDC_HTTPS_ENABLE, choices.https ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemTextA(dialog, IDC_HTTPS_PORT, std::to_string(choices.port).c_str());
  SetDlgItemTextA(dialog, IDC_CERTIFICATE_FILE, choices.certificateFile.c_str());
  SetDlgItemTextA(dialog, IDC_KEY_FILE, choices.keyFile.c_str());
  CheckDlgButton(dialog, IDC_REDIRECT_TO_HTTPS, choices.redirect ? BST_CHECKED : BST_UNCHECKED);
  ShowSummary(dialog, state);
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
        state->choices = Entered(dialog);
        EndDialog(dialog, IDOK);
      } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      } else if (id == IDC_CERTIFICATE_BROWSE && code == BN_CLICKED) {
        Choose(dialog, IDC_CERTIFICATE_FILE, "Select Certificate File", "Certificate (PEM)");
      } else if (id == IDC_KEY_BROWSE && code == BN_CLICKED) {
        Choose(dialog, IDC_KEY_FILE, "Select Key File", "Private key (PEM)");
      } else if ((id == IDC_CERTIFICATE_FILE || id == IDC_KEY_FILE) && code == EN_CHANGE) {
        ShowSummary(dialog, *state);
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
} catch (...) {
  ReportUncaughtException("HTTPS dialog");
  return FALSE;
}

}  // namespace

bool ShowHttpsDialog(HWND owner, HttpsChoices& choices, const std::string& installFolder) {
  DialogState state{choices, installFolder};
  const INT_PTR result = DialogBoxParamA(UiModule(), MAKEINTRESOURCEA(IDD_HTTPS_DIALOG), owner,
                                         Proc, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return false;
  choices = state.choices;
  return true;
}
