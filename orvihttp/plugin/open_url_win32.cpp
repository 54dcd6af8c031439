#include <windows.h>

#include <shellapi.h>

#include "orvihttp/plugin/open_url.h"

bool OpenUrl(const std::string& url) {
  HINSTANCE result = ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}
