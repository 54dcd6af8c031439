#pragma once

#include <windows.h>

#include <vector>

#include "orvihttp/ui/log_page_model.h"
#include "orvihttp/ui/page_window_win32.h"

// The "Log" page: the server's display lines in their colours, with clear,
// save and open of the access log. Its list holds no data of its own: it
// draws each visible line from the page's copy, so adding lines costs only
// the new ones however many are shown.
class LogPage final : public PageWindow {
 public:
  explicit LogPage(DisplayQueue& queue) : lines_(queue) {}
  // Ctrl+C anywhere in the window: the selected lines to the clipboard. With
  // no selected line the clipboard stays as it was.
  void CopySelection();

 private:
  void OnCreate() override;
  void OnCommand(int id, int code) override;
  void OnTimer() override;
  void OnDestroy() override;

  static LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                   UINT_PTR id, DWORD_PTR self);
  static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                   UINT_PTR id, DWORD_PTR self);
  void Draw(const DRAWITEMSTRUCT& item);
  void AppendNewLines();
  void WidenFor(std::size_t first);
  void Clear();
  void Save();
  void OpenServerLog();
  std::vector<int> SelectedLines() const;

  HWND list_ = nullptr;
  LogLines lines_;
  // The list's horizontal scroll extent: the widest line seen, in pixels.
  int extent_ = 0;
};
