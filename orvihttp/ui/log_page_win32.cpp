#include "orvihttp/ui/log_page_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

#include "desktop/dialog_helpers.h"
#include "foundation/debug_output.h"
#include "foundation/file_text.h"
#include "orvihttp/ui/settings_window_ids.h"

namespace {

constexpr UINT_PTR kSubclassId = 1;

COLORREF ColourRef(const LineColour& colour) {
  return RGB(colour.red, colour.green, colour.blue);
}

}  // namespace

void LogPage::OnCreate() {
  list_ = GetDlgItem(window_, IDC_LOG_LIST);
  // The page draws the list's lines, and the list answers a line's colour as
  // its item data, so they can be read back from outside.
  SetWindowSubclass(window_, PageProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  SetWindowSubclass(list_, ListProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  // Fixed-height lines of the list's own font.
  HDC dc = GetDC(list_);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list_, WM_GETFONT, 0, 0)));
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(list_, dc);
  SendMessageA(list_, LB_SETITEMHEIGHT, 0, metrics.tmHeight + 1);
  AppendNewLines();
  StartRefreshTimer(1000);
}

void LogPage::OnDestroy() {
  RemoveWindowSubclass(list_, ListProc, kSubclassId);
  RemoveWindowSubclass(window_, PageProc, kSubclassId);
  list_ = nullptr;
}

void LogPage::OnTimer() {
  AppendNewLines();
}

void LogPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDC_CLEAR_LOG:
      Clear();
      break;
    case IDC_SAVE_LOG:
      Save();
      break;
    case IDC_OPEN_SERVER_LOG:
      OpenServerLog();
      break;
    default:
      break;
  }
}

LRESULT CALLBACK LogPage::PageProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                   UINT_PTR /*id*/, DWORD_PTR self) try {
  if (message == WM_DRAWITEM && wparam == IDC_LOG_LIST) {
    reinterpret_cast<LogPage*>(self)->Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    return TRUE;
  }
  return DefSubclassProc(window, message, wparam, lparam);
} catch (...) {
  ReportUncaughtException("LogPage::PageProc");
  return DefSubclassProc(window, message, wparam, lparam);
}

LRESULT CALLBACK LogPage::ListProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                   UINT_PTR /*id*/, DWORD_PTR self) try {
  if (message == LB_GETITEMDATA) {
    const LogLines& lines = reinterpret_cast<LogPage*>(self)->lines_;
    if (wparam >= lines.size()) return LB_ERR;
    return static_cast<LRESULT>(ColourRef(ColourOfKind(lines[wparam].kind)));
  }
  return DefSubclassProc(window, message, wparam, lparam);
} catch (...) {
  ReportUncaughtException("LogPage::ListProc");
  return DefSubclassProc(window, message, wparam, lparam);
}

void LogPage::Draw(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT area = item.rcItem;
  if (item.itemID != static_cast<UINT>(-1) && item.itemID < lines_.size()) {
    const DisplayLine& line = lines_[item.itemID];
    bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc,
                 selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : ColourRef(ColourOfKind(line.kind)));
    RECT text = area;
    text.left += 2;
    DrawTextA(dc, line.text.c_str(), static_cast<int>(line.text.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP);
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &area);
}

void LogPage::AppendNewLines() {
  if (!list_) return;
  LogLinesUpdate update = lines_.Refresh();
  if (update.added == 0 && update.dropped == 0 && !update.restarted) return;
  // Line n shows the page's line n: when the oldest lines leave, whatever
  // was selected moves up with its lines.
  std::vector<int> selected;
  if (update.dropped > 0) selected = SelectedLines();
  if (update.restarted) {
    SendMessageA(list_, LB_RESETCONTENT, 0, 0);
    extent_ = 0;
    SendMessageA(list_, LB_SETHORIZONTALEXTENT, 0, 0);
  }
  SendMessageA(list_, LB_SETCOUNT, lines_.size(), 0);
  if (update.dropped > 0) {
    SendMessageA(list_, LB_SETSEL, FALSE, -1);
    for (int line : selected) {
      int moved = line - static_cast<int>(update.dropped);
      if (moved >= 0) SendMessageA(list_, LB_SETSEL, TRUE, moved);
    }
  }
  WidenFor(lines_.size() - update.added);
  SendMessageA(list_, LB_SETTOPINDEX, lines_.size() - 1, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

// Measures only the lines from `first` on: the extent never shrinks while
// lines are added, so older lines need no second look.
void LogPage::WidenFor(std::size_t first) {
  HDC dc = GetDC(list_);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list_, WM_GETFONT, 0, 0)));
  int widest = extent_;
  for (std::size_t index = first; index < lines_.size(); ++index) {
    SIZE size{};
    const std::string& text = lines_[index].text;
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (size.cx + 3 > widest) widest = size.cx + 3;
  }
  SelectObject(dc, old);
  ReleaseDC(list_, dc);
  if (widest > extent_) {
    extent_ = widest;
    SendMessageA(list_, LB_SETHORIZONTALEXTENT, extent_, 0);
  }
}

void LogPage::Clear() {
  lines_.Clear();
  SendMessageA(list_, LB_RESETCONTENT, 0, 0);
  extent_ = 0;
  SendMessageA(list_, LB_SETHORIZONTALEXTENT, 0, 0);
}

void LogPage::Save() {
  std::string path = AskSaveFileName(kSaveLogTitle, SaveLogFilters(), kSaveLogExtension, "");
  if (path.empty()) return;
  // The lines as shown when the dialog closed, not a moment before.
  WriteFileText(path, SavedLogText(lines_));
}

void LogPage::OpenServerLog() {
  if (std::optional<std::string> path = ServerLogToOpen()) {
    ShellExecuteA(window_, nullptr, path->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
}

std::vector<int> LogPage::SelectedLines() const {
  std::vector<int> selected;
  if (!list_) return selected;
  LRESULT count = SendMessageA(list_, LB_GETSELCOUNT, 0, 0);
  if (count <= 0) return selected;
  selected.resize(static_cast<std::size_t>(count));
  LRESULT got =
      SendMessageA(list_, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(selected.data()));
  selected.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return selected;
}

void LogPage::CopySelection() {
  std::vector<int> selected = SelectedLines();
  if (selected.empty()) return;
  std::string text = CopiedLogText(lines_, selected);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (!memory) return;
  if (void* bytes = GlobalLock(memory)) {
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
  }
  if (!OpenClipboard(window_)) {
    GlobalFree(memory);
    return;
  }
  EmptyClipboard();
  // The clipboard owns the memory once it took it.
  if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
  CloseClipboard();
}
