#pragma once

#include <windows.h>

// One page of the settings window: a borderless child dialog whose messages
// reach the page object's handlers.
class PageWindow {
 public:
  virtual ~PageWindow() = default;
  PageWindow() = default;
  PageWindow(const PageWindow&) = delete;
  PageWindow& operator=(const PageWindow&) = delete;

  // Builds the page from its template inside `parent`; null on failure.
  HWND Create(HWND parent, int templateId);
  HWND window() const { return window_; }

 protected:
  virtual void OnCreate() {}
  virtual void OnCommand(int /*id*/, int /*code*/) {}
  virtual void OnTimer() {}
  virtual void OnNotify(NMHDR* /*header*/) {}
  virtual void OnDestroy() {}

  // The page's refresh timer, delivered to OnTimer on the window's thread.
  void StartRefreshTimer(UINT milliseconds);

  HWND window_ = nullptr;

 private:
  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
};

// The page that the window fills in a later version: it shows nothing yet.
class EmptyPage final : public PageWindow {};
