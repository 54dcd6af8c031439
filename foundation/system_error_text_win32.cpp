#include <windows.h>

#include "foundation/system_error_text.h"

std::string LastSystemErrorText() {
  const DWORD error = GetLastError();
  char text[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() &&
         (message.back() == '\r' || message.back() == '\n' || message.back() == ' ')) {
    message.pop_back();
  }
  if (message.empty()) message = "Error " + std::to_string(error);
  return message;
}
