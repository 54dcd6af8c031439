#include <cstdio>

#include "desktop/message_box.h"

void ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon) {
  std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}
