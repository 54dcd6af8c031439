#include <windows.h>

#include "desktop/message_box.h"

void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
  UINT type = MB_OK;
  if (icon == MessageIcon::Warning) type |= MB_ICONEXCLAMATION;
  if (icon == MessageIcon::Information) type |= MB_ICONINFORMATION;
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), type);
}
