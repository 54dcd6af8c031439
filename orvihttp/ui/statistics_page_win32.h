#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <string>

#include "orvihttp/logging/statistics.h"
#include "orvihttp/ui/page_window_win32.h"

// The "Statistics" page: the figures of the chosen period and the files
// transferred in it, read from the binary log once a second.
class StatisticsPage final : public PageWindow {
 public:
  ~StatisticsPage() override;

 private:
  void OnCreate() override;
  void OnCommand(int id, int code) override;
  void OnTimer() override;
  void OnNotify(NMHDR* header) override;
  void OnDestroy() override;

  void Refresh();
  void SetText(int id, const std::string& text);

  StatsAggregation stats_;
  // Rows the list was last told about; it asks for their texts as it draws.
  std::size_t shownRows_ = 0;
  HIMAGELIST images_ = nullptr;
};
