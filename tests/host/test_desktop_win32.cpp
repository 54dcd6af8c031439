#include "tests/host/test_desktop_win32.h"

#include <cstdlib>
#include <string>

namespace {

constexpr char kDesktopsKey[] = "Software\\Wine\\Explorer\\Desktops";

std::string& ChosenName() {
  static std::string name;
  return name;
}

void ForgetDesktopSize() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopsKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, ChosenName().c_str());
    RegCloseKey(key);
  }
}

}  // namespace

const std::string& TestDesktopName() {
  static const std::string name = [] {
    std::string chosen = "orvi-host-tests-" + std::to_string(GetCurrentProcessId());
    // Wine makes a desktop with a configured size a virtual desktop window.
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
      const char size[] = "1024x768";
      RegSetValueExA(key, chosen.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(size),
                     sizeof size);
      RegCloseKey(key);
      ChosenName() = chosen;
      std::atexit(ForgetDesktopSize);
    }
    return chosen;
  }();
  return name;
}

OnTestDesktop::OnTestDesktop() {
  previous_ = GetThreadDesktop(GetCurrentThreadId());
  desktop_ = CreateDesktopA(TestDesktopName().c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (desktop_ && !SetThreadDesktop(desktop_)) {
    CloseDesktop(desktop_);
    desktop_ = nullptr;
  }
}

OnTestDesktop::~OnTestDesktop() {
  if (!desktop_) return;
  SetThreadDesktop(previous_);
  CloseDesktop(desktop_);
}
