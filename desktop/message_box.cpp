#include "desktop/message_box.h"

void ShowWarningBox(const std::string& text, const std::string& caption) {
  ShowMessageBox(text, caption, MessageIcon::Warning);
}
