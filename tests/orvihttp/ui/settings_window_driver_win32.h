#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/host/host_process.h"
#include "tests/support/test_support.h"

// Drives the settings window of the real host and plugin from another
// process, as a user's clicks and keys would: shared by the tests of every
// page.

// The host, installed as a user installs it in a temporary folder, with the
// server's settings (Dovetab lines after the header).
class InstalledServer {
 public:
  explicit InstalledServer(const std::vector<std::string>& iniLines);
  bool Start(HostProcess& process);
  std::string Ini() const;
  std::string Output() const;

 private:
  TempFolder root_;
  std::string folder_;
};

// Visible dialogs captioned with the product's name: the settings window (it
// holds the tab control) or message boxes.
std::vector<HWND> Dialogs(bool settingsWindow);
HWND WaitForSettingsWindow();
// Answers the next question box with `button` (OK unless given) and gives
// its text.
std::string AnswerQuestion(int button = IDOK);
// The host's window on the test desktop, once the host has made it; null
// after 20 s without one.
HWND WaitForHostWindow();
// Picks the server's "Settings..." from the tray menu of the host window.
bool ChooseSettings(HWND host);
// Opens the settings window through the tray menu and shows tab `tab`: gives
// the page that holds control `control` (null when any step fails) and the
// window in `window`.
HWND OpenPage(HWND host, int tab, int control, HWND* window);
// The page of the settings window that holds control `id`.
HWND PageWith(HWND window, int id);
std::string Text(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
bool Checked(HWND dialog, int id);
// The lines of a list box.
std::vector<std::string> Lines(HWND dialog, int id);
// What a click on a button does, without waiting for what it opens.
void PostClick(HWND page, int id);
void Click(HWND dialog, int id);
void SelectLine(HWND page, int id, int line);
// Moves the tab control's selection with the arrow keys, as a user does.
void MoveTabs(HWND window, WPARAM key, int times);
int SelectedTab(HWND window);
bool GoToTab(HWND window, int index);
// The text of one cell of a list view in another process.
std::string ListCell(HWND list, int row, int column);
// The number of threads of a process.
int ThreadsOf(DWORD process);
// The Port value of an OrviHTTP.ini text.
std::string IniPort(const std::string& ini);
