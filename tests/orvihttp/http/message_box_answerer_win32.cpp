#include <windows.h>

#include <chrono>

#include "tests/orvihttp/http/message_box_answerer.h"

MessageBoxAnswerer::MessageBoxAnswerer(const std::string& caption) : caption_(caption) {
  thread_ = std::thread([this] {
    while (!done_) {
      // Message boxes are dialogs of the standard dialog class.
      HWND box = FindWindowA("#32770", caption_.c_str());
      if (box) {
        char text[512] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        {
          std::lock_guard<std::mutex> lock(mutex_);
          text_ = text;
        }
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  done_ = true;
  thread_.join();
}

std::string MessageBoxAnswerer::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}
