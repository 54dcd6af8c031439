#include "orvihttp/ui/page_window_win32.h"

#include "foundation/debug_output.h"
#include "orvihttp/ui/ui_module_win32.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;

// The tab control's background under a page, as visual styles draw it. Looked
// up at run time: the theme library is no link dependency of the plugin.
void UseTabBackground(HWND page) {
  using EnableTexture = HRESULT(WINAPI*)(HWND, DWORD);
  static EnableTexture enable = [] {
    HMODULE theme = LoadLibraryA("uxtheme.dll");
    return theme ? reinterpret_cast<EnableTexture>(
                       reinterpret_cast<void*>(GetProcAddress(theme, "EnableThemeDialogTexture")))
                 : nullptr;
  }();
  constexpr DWORD kEnableTab = 0x2 | 0x4;  // ETDT_ENABLE | ETDT_USETABTEXTURE
  if (enable) enable(page, kEnableTab);
}

}  // namespace

HWND PageWindow::Create(HWND parent, int templateId) {
  return CreateDialogParamA(UiModule(), MAKEINTRESOURCEA(templateId), parent, Proc,
                            reinterpret_cast<LPARAM>(this));
}

void PageWindow::StartRefreshTimer(UINT milliseconds) {
  SetTimer(window_, kRefreshTimer, milliseconds, nullptr);
}

INT_PTR CALLBACK PageWindow::Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) try {
  auto* self = reinterpret_cast<PageWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      self = reinterpret_cast<PageWindow*>(lparam);
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      self->window_ = dialog;
      UseTabBackground(dialog);
      self->OnCreate();
      return TRUE;
    case WM_COMMAND:
      if (!self) return FALSE;
      self->OnCommand(LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    case WM_NOTIFY:
      if (!self) return FALSE;
      self->OnNotify(reinterpret_cast<NMHDR*>(lparam));
      return TRUE;
    case WM_TIMER:
      if (self && wparam == kRefreshTimer) self->OnTimer();
      return TRUE;
    case WM_DESTROY:
      if (!self) return FALSE;
      KillTimer(dialog, kRefreshTimer);
      self->OnDestroy();
      self->window_ = nullptr;
      SetWindowLongPtrA(dialog, DWLP_USER, 0);
      return TRUE;
  }
  return FALSE;
} catch (...) {
  ReportUncaughtException("PageWindow::Proc");
  return FALSE;
}
