#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "foundation/thread.h"

// The "Trellan Settings" dialog on a thread of its own. At most one exists; it
// frees itself when the user closes it, and the host ends it at exit.
class ManageDialog : public Thread {
 public:
  // Main thread: opens the dialog, or brings the open one to the front.
  static void Open();
  // Main thread, host exit: closes the dialog if it is open and waits for its
  // thread.
  static void Close();

  ~ManageDialog() override;

 protected:
  void Run() override;
  void OnThreadStop() override;

 private:
  ManageDialog() = default;

  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  void Initialise(HWND dialog);
  void ChooseRotation(HWND dialog);
  void ChooseStaticIcon(HWND dialog);
  void StaticPluginChanged(HWND dialog);
  void PluginSelected(HWND dialog);
  // Fills the drop-down list and selects the StaticIcon plugin in it.
  void FillStaticPlugins(HWND dialog);

  std::atomic<HWND> dialog_{nullptr};
  std::atomic<DWORD> threadId_{0};
};
