#include <windows.h>
// After windows.h, which they need.
#include <commdlg.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

#include "desktop/dialog_helpers.h"
#include "desktop/form_layout.h"
#include "foundation/debug_output.h"
#include "foundation/this_module_win32.h"

namespace {

// COM for the shell's folder dialog, on threads that have not started it.
class ComForThisCall {
 public:
  ComForThisCall() {
    HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    started_ = result == S_OK || result == S_FALSE;
  }
  ~ComForThisCall() {
    if (started_) CoUninitialize();
  }
  ComForThisCall(const ComForThisCall&) = delete;
  ComForThisCall& operator=(const ComForThisCall&) = delete;

 private:
  bool started_ = false;
};

}  // namespace

namespace {

// Shows the folder browser `info` describes; the chosen folder's path, ""
// when the user cancelled.
std::string ShowFolderBrowser(BROWSEINFOA& info) {
  ComForThisCall com;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
  if (!item) return "";
  char path[MAX_PATH] = {};
  BOOL converted = SHGetPathFromIDListA(item, path);
  CoTaskMemFree(item);
  return converted ? std::string(path) : std::string();
}

}  // namespace

std::string BrowseForFolder(void* owner) {
  BROWSEINFOA info{};
  info.hwndOwner = static_cast<HWND>(owner);
  info.pidlRoot = nullptr;  // the desktop
  info.lpszTitle = nullptr;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  return ShowFolderBrowser(info);
}

std::string AskFolder(void* owner, const std::string& title, const std::string& initialFolder) {
  BROWSEINFOA info{};
  info.hwndOwner = static_cast<HWND>(owner);
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  // The chooser can pick a folder only once it is shown.
  info.lpfn = [](HWND chooser, UINT message, LPARAM, LPARAM data) -> int {
    const auto* initial = reinterpret_cast<const std::string*>(data);
    if (message == BFFM_INITIALIZED && !initial->empty()) {
      SendMessageA(chooser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(initial->c_str()));
    }
    return 0;
  };
  info.lParam = reinterpret_cast<LPARAM>(&initialFolder);
  return ShowFolderBrowser(info);
}

std::string AskSaveFileName(const std::string& title,
                            const std::vector<std::pair<std::string, std::string>>& filters,
                            const std::string& defaultExtension, const std::string& initialName) {
  // "caption\0pattern\0...\0\0"
  std::string filter;
  for (const auto& [caption, pattern] : filters) {
    filter.append(caption).push_back('\0');
    filter.append(pattern).push_back('\0');
  }
  filter.push_back('\0');
  // The dialog wants the extension without its dot.
  std::string extension = defaultExtension;
  if (!extension.empty() && extension[0] == '.') extension.erase(0, 1);

  char file[MAX_PATH] = {};
  std::strncpy(file, initialName.c_str(), MAX_PATH - 1);

  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = filters.empty() ? nullptr : filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameA(&dialog)) return "";
  return file;
}

std::string AskOpenFileName(void* owner, const std::string& title,
                            const std::vector<std::pair<std::string, std::string>>& filters,
                            const std::string& initialName) {
  std::string filter;
  for (const auto& [caption, pattern] : filters) {
    filter.append(caption).push_back('\0');
    filter.append(pattern).push_back('\0');
  }
  filter.push_back('\0');
  char file[MAX_PATH] = {};
  std::strncpy(file, initialName.c_str(), MAX_PATH - 1);
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = static_cast<HWND>(owner);
  dialog.lpstrFilter = filters.empty() ? nullptr : filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  if (!GetOpenFileNameA(&dialog)) return "";
  return file;
}

namespace {

// An in-memory dialog template: DLGTEMPLATE, then its items, each on a
// DWORD boundary, as DialogBoxIndirect reads it.
class TemplateBuffer {
 public:
  void Word(WORD value) { Append(&value, sizeof value); }
  void Dword(DWORD value) { Append(&value, sizeof value); }
  void Text(const std::string& text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::vector<WCHAR> wide(length > 0 ? length : 1, 0);
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    Append(wide.data(), wide.size() * sizeof(WCHAR));
  }
  void AlignToDword() {
    while (bytes_.size() % 4) bytes_.push_back(0);
  }
  void Item(DWORD style, const FormRect& rect, WORD id, WORD classAtom, const std::string& text) {
    AlignToDword();
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);  // extended style
    Word(static_cast<WORD>(rect.x));
    Word(static_cast<WORD>(rect.y));
    Word(static_cast<WORD>(rect.width));
    Word(static_cast<WORD>(rect.height));
    Word(id);
    Word(0xFFFF);
    Word(classAtom);
    Text(text);
    Word(0);  // no creation data
  }
  // DLGTEMPLATE is DWORD-aligned data: keep it in DWORDs.
  const DLGTEMPLATE* Template() {
    AlignToDword();
    aligned_.assign(bytes_.size() / 4, 0);
    std::memcpy(aligned_.data(), bytes_.data(), bytes_.size());
    return reinterpret_cast<const DLGTEMPLATE*>(aligned_.data());
  }

 private:
  void Append(const void* data, std::size_t size) {
    const auto* from = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), from, from + size);
  }

  std::vector<unsigned char> bytes_;
  std::vector<DWORD> aligned_;
};

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;

// The system's message font as a face name and a point size.
void MessageFont(std::string& face, WORD& points) {
  face = "MS Shell Dlg";
  points = 8;
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return;
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  LONG height = metrics.lfMessageFont.lfHeight;
  if (height < 0) height = -height;
  if (metrics.lfMessageFont.lfFaceName[0] == '\0' || height == 0 || dpi <= 0) return;
  face = metrics.lfMessageFont.lfFaceName;
  points = static_cast<WORD>(MulDiv(height, 72, dpi));
  if (points == 0) points = 8;
}

// Text widths in dialog units with the dialog's font: a dialog unit is a
// quarter of the font's average character width.
class TextMeasure {
 public:
  TextMeasure(const std::string& face, WORD points) {
    screen_ = GetDC(nullptr);
    if (!screen_) return;
    LOGFONTA font{};
    font.lfHeight = -MulDiv(points, GetDeviceCaps(screen_, LOGPIXELSY), 72);
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(font.lfFaceName, face.c_str(), LF_FACESIZE);
    font_ = CreateFontIndirectA(&font);
    if (font_) previous_ = SelectObject(screen_, font_);
    // The average width the dialog manager uses for its units.
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE size{};
    if (GetTextExtentPoint32A(screen_, kAlphabet, 52, &size) && size.cx > 0) {
      averageWidth_ = (size.cx / 26 + 1) / 2;
    }
  }
  ~TextMeasure() {
    if (!screen_) return;
    if (previous_) SelectObject(screen_, previous_);
    if (font_) DeleteObject(font_);
    ReleaseDC(nullptr, screen_);
  }
  TextMeasure(const TextMeasure&) = delete;
  TextMeasure& operator=(const TextMeasure&) = delete;

  int Width(const std::string& text) const {
    SIZE size{};
    if (!screen_ || averageWidth_ <= 0 ||
        !GetTextExtentPoint32A(screen_, text.c_str(), static_cast<int>(text.size()), &size)) {
      return EstimatedTextWidth(text);
    }
    // Rounded up, and a unit more so nothing is clipped.
    return (size.cx * 4 + averageWidth_ - 1) / averageWidth_ + 1;
  }

 private:
  HDC screen_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  int averageWidth_ = 0;
};

INT_PTR CALLBACK FormProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) try {
  switch (message) {
    case WM_INITDIALOG: {
      auto* form = reinterpret_cast<FormDescription*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      if (form->largeIcon)
        SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(form->largeIcon));
      if (form->smallIcon) {
        SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(form->smallIcon));
      }
      for (const FormRow& row : form->rows) {
        if (row.kind != FormRow::Kind::Field) continue;
        SendDlgItemMessageA(dialog, row.id, EM_LIMITTEXT, kFormValueLimit, 0);
        SetDlgItemTextA(dialog, row.id, row.value.substr(0, kFormValueLimit).c_str());
      }
      return TRUE;  // focus on the first field
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        auto* form = reinterpret_cast<FormDescription*>(GetWindowLongPtrA(dialog, DWLP_USER));
        for (FormRow& row : form->rows) {
          if (row.kind != FormRow::Kind::Field) continue;
          char text[kFormValueLimit + 1] = {};
          GetDlgItemTextA(dialog, row.id, text, sizeof text);
          row.value = text;
        }
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      // Cancel, Escape and the title bar's close button all arrive as IDCANCEL.
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
} catch (...) {
  ReportUncaughtException("FormProc");
  return FALSE;
}

}  // namespace

void ShowFormDialog(void* owner, FormDescription& form) {
  std::string face;
  WORD points = 8;
  MessageFont(face, points);
  FormLayout layout;
  {
    TextMeasure measure(face, points);
    layout = LayOutForm(form, [&](const std::string& text) { return measure.Width(text); });
  }

  TemplateBuffer buffer;
  const bool withCancel = form.buttons == FormDescription::Buttons::OkCancel;
  WORD itemCount = static_cast<WORD>(withCancel ? 2 : 1);
  for (const FormRow& row : form.rows) itemCount += row.kind == FormRow::Kind::Field ? 2 : 1;

  buffer.Dword(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  buffer.Dword(0);  // extended style
  buffer.Word(itemCount);
  buffer.Word(0);  // x and y: DS_CENTER places it
  buffer.Word(0);
  buffer.Word(static_cast<WORD>(layout.width));
  buffer.Word(static_cast<WORD>(layout.height));
  buffer.Word(0);  // no menu
  buffer.Word(0);  // the standard dialog class
  buffer.Text(form.caption);
  buffer.Word(points);
  buffer.Text(face);

  for (std::size_t i = 0; i < form.rows.size(); ++i) {
    const FormRow& row = form.rows[i];
    const FormRowLayout& placed = layout.rows[i];
    if (row.kind == FormRow::Kind::Field) {
      buffer.Item(SS_LEFT, placed.label, 0xFFFF, kStaticAtom, row.label);
      buffer.Item(WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, placed.field, static_cast<WORD>(row.id),
                  kEditAtom, "");
    } else {
      buffer.Item(SS_CENTER, placed.label, 0xFFFF, kStaticAtom, row.label);
    }
  }
  buffer.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, layout.okButton, IDOK, kButtonAtom, "OK");
  if (withCancel) {
    buffer.Item(BS_PUSHBUTTON | WS_TABSTOP, layout.cancelButton, IDCANCEL, kButtonAtom, "Cancel");
  }

  DialogBoxIndirectParamA(ThisModule(), buffer.Template(), static_cast<HWND>(owner), FormProc,
                          reinterpret_cast<LPARAM>(&form));
}
