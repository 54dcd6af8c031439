#include <windows.h>

#include <chrono>
#include <cstring>

#include "tests/orvihttp/http/message_box_answerer.h"

MessageBoxAnswerer::MessageBoxAnswerer(const std::string& caption) : caption_(caption) {
  thread_ = std::thread([this] {
    while (!done_) {
      // Message boxes are dialogs of the standard dialog class.
      HWND box = FindWindowA("#32770", caption_.c_str());
      if (box) {
        // The text is the box's longest static control (its identifier
        // differs between Windows and Wine).
        std::string text;
        EnumChildWindows(
            box,
            [](HWND child, LPARAM found) -> BOOL {
              char type[32] = {};
              GetClassNameA(child, type, sizeof type);
              char caption[512] = {};
              GetWindowTextA(child, caption, sizeof caption);
              auto* longest = reinterpret_cast<std::string*>(found);
              if (lstrcmpiA(type, "Static") == 0 && std::strlen(caption) > longest->size()) {
                *longest = caption;
              }
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&text));
        // A box still being set up has no text yet: answer it next time.
        if (!text.empty()) {
          {
            std::lock_guard<std::mutex> lock(mutex_);
            text_ = text;
          }
          PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
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
