// The real save-file dialog, answered from a second thread: a typed name
// without extension gets the default one, Cancel gives "".
#include <windows.h>
// After windows.h, which it needs.
#include <dlgs.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "desktop/dialog_helpers.h"
#include "tests/support/test_support.h"

namespace {

constexpr char kTitle[] = "Select Log File";

std::string AskWhile(const std::string& initialName, const std::function<void(HWND)>& user) {
  std::thread driver([&] {
    for (int waited = 0; waited < 20000; waited += 50) {
      HWND dialog = FindWindowA("#32770", kTitle);
      if (dialog && IsWindowVisible(dialog)) {
        user(dialog);
        return;
      }
      Sleep(50);
    }
  });
  std::string chosen = AskSaveFileName(
      kTitle, {{"Log file (*.log)", "*.log"}, {"All files (*.*)", "*.*"}}, ".log", initialName);
  driver.join();
  return chosen;
}

// The file name box is a combo box in the explorer-style dialog, an edit box
// in older ones.
void TypeFileName(HWND dialog, const std::string& name) {
  HWND box = GetDlgItem(dialog, cmb13);
  if (!box) box = GetDlgItem(dialog, edt1);
  SetWindowTextA(box, name.c_str());
}

TEST(SaveFileDialog, TypedNameGetsTheDefaultExtensionAndCancelGivesNothing) {
  TempFolder folder;
  std::string typed = folder.File("access");
  EXPECT_EQ(AskWhile("",
                     [&](HWND dialog) {
                       TypeFileName(dialog, typed);
                       SendMessageA(dialog, WM_COMMAND, IDOK, 0);
                     }),
            typed + ".log");

  EXPECT_EQ(AskWhile(folder.File("old.log"),
                     [](HWND dialog) { SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }),
            "");
}

}  // namespace
