#pragma once

#include <windows.h>

#include <string>

// The Windows desktop this test program starts its hosts on. Each test program
// has its own, so its hosts neither see nor end the hosts of other programs
// running at the same time (the single-instance rule looks for the window
// class on the current desktop only). Under Wine it is a virtual desktop of
// 1024x768 with a taskbar, so the tray icon shows in screenshots.
const std::string& TestDesktopName();

// Runs on a thread attached to the test desktop, where FindWindow and
// SendMessage reach the hosts' windows.
class OnTestDesktop {
 public:
  OnTestDesktop();
  ~OnTestDesktop();
  OnTestDesktop(const OnTestDesktop&) = delete;
  OnTestDesktop& operator=(const OnTestDesktop&) = delete;

 private:
  HDESK previous_ = nullptr;
  HDESK desktop_ = nullptr;
};
