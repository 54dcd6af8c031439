#include "orvihttp/ui/ui_module_win32.h"

#include <vector>

#include "desktop/dialog_helpers.h"
#include "foundation/this_module_win32.h"
#include "orvihttp/ui/plugin_resources.h"

HINSTANCE UiModule() {
  return ThisModule();
}

HICON LoadUiIcon(int resource, int size) {
  return static_cast<HICON>(
      LoadImageA(UiModule(), MAKEINTRESOURCEA(resource), IMAGE_ICON, size, size, 0));
}

std::string ControlText(HWND dialog, int id, int limit) {
  std::vector<char> text(static_cast<std::size_t>(limit) + 1, '\0');
  GetDlgItemTextA(dialog, id, text.data(), limit + 1);
  return text.data();
}

void ShowText(HWND dialog, int id, const std::string& text) {
  if (ControlText(dialog, id) != text) SetDlgItemTextA(dialog, id, text.c_str());
}

std::string PromptForText(HWND page, const std::string& caption, const std::string& label,
                          int fieldId) {
  HICON large = LoadUiIcon(ORVI_ICON_WINDOW, GetSystemMetrics(SM_CXICON));
  HICON small = LoadUiIcon(ORVI_ICON_WINDOW, GetSystemMetrics(SM_CXSMICON));
  FormDescription form;
  form.caption = caption;
  form.buttons = FormDescription::Buttons::OkCancel;
  form.largeIcon = large;
  form.smallIcon = small;
  form.rows.push_back({fieldId, FormRow::Kind::Field, label, ""});
  // Modal to the settings window the page sits in, and in front of it.
  ShowFormDialog(GetAncestor(page, GA_ROOT), form);
  if (large) DestroyIcon(large);
  if (small) DestroyIcon(small);
  return form.rows[0].value;
}
