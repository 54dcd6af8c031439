#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "foundation/thread.h"

namespace {

using namespace std::chrono_literals;

std::atomic<int> handled{0};

LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_USER + 1) {
    ++handled;
    return 11;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// A worker that keeps sending to a window of the thread that will stop it.
class WindowSender : public Thread {
 public:
  explicit WindowSender(HWND window) : window_(window) {}
  ~WindowSender() override { Stop(); }
  std::atomic<int> sends{0};

 protected:
  void Run() override {
    while (!StopRequested()) {
      ++sends;
      if (SendMessageA(window_, WM_USER + 1, 0, 0) != 11) return;
    }
  }

 private:
  HWND window_;
};

TEST(ThreadWin32, StopDeliversSentWindowMessagesInsteadOfDeadlocking) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = CountingProcedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "OrviThreadTestWindow";
  ASSERT_NE(RegisterClassA(&window_class), 0);
  HWND window = CreateWindowExA(0, "OrviThreadTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, nullptr);
  ASSERT_NE(window, nullptr);

  WindowSender sender(window);
  ASSERT_TRUE(sender.Start());
  // This thread runs no message loop now, so the worker blocks in its send.
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(handled, 0);
  sender.Stop();
  EXPECT_FALSE(sender.IsRunning());
  EXPECT_GE(handled, 1);

  DestroyWindow(window);
  UnregisterClassA("OrviThreadTestWindow", window_class.hInstance);
}

}  // namespace
