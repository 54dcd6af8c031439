#include "orvihttp/ui/statistics_page_win32.h"

#include <algorithm>
#include <ctime>

#include "foundation/setting_key.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/logging/byte_size_text.h"
#include "orvihttp/logging/stats_period.h"
#include "orvihttp/ui/plugin_resources.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "orvihttp/ui/ui_module_win32.h"

namespace {

struct Column {
  const char* title;
  int width;
};
constexpr Column kColumns[] = {
    {"Action", 76}, {"IP", 76}, {"File name", 140}, {"Size", 64}, {"Date", 160}};
constexpr int kDateColumn = 4;

// What the list adds around a cell's text when it sizes a column to fit.
constexpr int kCellPadding = 12;

// The Date column's width: its usual width, or more when the list's font
// (Wine's, for one) needs more for the widest date it can show. A year of
// days at a late hour gives every weekday, month and day-of-month text.
int DateColumnWidth(HWND list) {
  constexpr int32_t kDay = 24 * 60 * 60;
  // 1 January 2026, 20:28:28 UTC.
  constexpr int32_t kFirstDay = 1767225600 + 20 * 60 * 60 + 28 * 60 + 28;
  int widest = 0;
  for (int day = 0; day < 366; ++day) {
    TransferRow row;
    row.time = kFirstDay + day * kDay;
    std::string text = TransferRowTexts(row)[kDateColumn];
    widest =
        std::max(widest, static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0,
                                                       reinterpret_cast<LPARAM>(text.c_str()))));
  }
  return std::max(kColumns[kDateColumn].width, widest + kCellPadding);
}

}  // namespace

StatisticsPage::~StatisticsPage() {
  if (images_) ImageList_Destroy(images_);
}

void StatisticsPage::OnCreate() {
  HWND list = GetDlgItem(window_, IDC_STATS_FILES);
  images_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 0);
  if (HICON icon = LoadUiIcon(ORVI_ICON_DOWNLOAD, 16)) {
    ImageList_AddIcon(images_, icon);
    DestroyIcon(icon);
  }
  ListView_SetImageList(list, images_, LVSIL_SMALL);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  for (int index = 0; index < static_cast<int>(std::size(kColumns)); ++index) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = index == kDateColumn ? DateColumnWidth(list) : kColumns[index].width;
    column.pszText = const_cast<char*>(kColumns[index].title);
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
  }
  for (int period = 0; period < kStatsPeriodCount; ++period) {
    SendDlgItemMessageA(window_, IDC_STATS_PERIOD, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(StatsPeriodText(period)));
  }
  // A stored -1 (or any number past the list) selects nothing.
  SendDlgItemMessageA(window_, IDC_STATS_PERIOD, CB_SETCURSEL, GetSetting(kStats), 0);
  Refresh();
  StartRefreshTimer(1000);
}

void StatisticsPage::OnTimer() {
  Refresh();
}

void StatisticsPage::OnCommand(int id, int code) {
  if (id == IDC_STATS_PERIOD && code == CBN_SELCHANGE) Refresh();
}

void StatisticsPage::OnDestroy() {
  int selection =
      static_cast<int>(SendDlgItemMessageA(window_, IDC_STATS_PERIOD, CB_GETCURSEL, 0, 0));
  SetSetting(kStats, selection);
}

void StatisticsPage::Refresh() {
  int selection =
      static_cast<int>(SendDlgItemMessageA(window_, IDC_STATS_PERIOD, CB_GETCURSEL, 0, 0));
  bool cleared = stats_.Refresh(selection, GetSetting(kBinLogPath), std::time(nullptr));

  const StatsCounters& counters = stats_.counters();
  SetText(IDC_STATS_DOWNLOADED, FormatByteSize(counters.bytesDownloaded));
  SetText(IDC_STATS_FILES_SENT, std::to_string(counters.filesSent));
  SetText(IDC_STATS_SUCCEEDED, std::to_string(counters.successfulRequests));
  SetText(IDC_STATS_FAILED, std::to_string(counters.failedRequests));
  SetText(IDC_STATS_CONNECTIONS, std::to_string(counters.connections));

  // The list holds no rows of its own: row 0 is the newest file, and new
  // files push the older ones down.
  std::size_t rows = stats_.rows().size();
  if (!cleared && rows == shownRows_) return;
  HWND list = GetDlgItem(window_, IDC_STATS_FILES);
  ListView_SetItemCountEx(list, static_cast<int>(rows), 0);
  InvalidateRect(list, nullptr, FALSE);
  shownRows_ = rows;
}

void StatisticsPage::SetText(int id, const std::string& text) {
  // Only on a change, so the labels do not flicker every second.
  char current[64] = "";
  GetDlgItemTextA(window_, id, current, sizeof current);
  if (text != current) SetDlgItemTextA(window_, id, text.c_str());
}

void StatisticsPage::OnNotify(NMHDR* header) {
  if (header->idFrom != IDC_STATS_FILES) return;
  const auto& rows = stats_.rows();
  if (header->code == LVN_GETDISPINFOA) {
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(header)->item;
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows.size()) return;
    const TransferRow& row = rows[rows.size() - 1 - item.iItem];
    if (item.mask & LVIF_TEXT && item.iSubItem >= 0 && item.iSubItem < 5 && item.cchTextMax > 0) {
      std::string text = TransferRowTexts(row)[item.iSubItem];
      lstrcpynA(item.pszText, text.c_str(), item.cchTextMax);
    }
    // Only a download has its icon; an upload's image is not in the list.
    if (item.mask & LVIF_IMAGE) item.iImage = row.upload ? 1 : 0;
  } else if (header->code == LVN_GETDISPINFOW) {
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows.size()) return;
    const TransferRow& row = rows[rows.size() - 1 - item.iItem];
    if (item.mask & LVIF_TEXT && item.iSubItem >= 0 && item.iSubItem < 5 && item.cchTextMax > 0) {
      std::string text = TransferRowTexts(row)[item.iSubItem];
      int written = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, item.pszText, item.cchTextMax);
      if (written == 0) item.pszText[0] = L'\0';
    }
    if (item.mask & LVIF_IMAGE) item.iImage = row.upload ? 1 : 0;
  }
}
