#include "desktop/dialog_helpers.h"

// This build has no windows: every dialog behaves as if it were cancelled.

std::string BrowseForFolder(void*) {
  return "";
}

std::string AskFolder(void*, const std::string&, const std::string&) {
  return "";
}

std::string AskSaveFileName(const std::string&,
                            const std::vector<std::pair<std::string, std::string>>&,
                            const std::string&, const std::string&) {
  return "";
}

std::string AskOpenFileName(void*, const std::string&,
                            const std::vector<std::pair<std::string, std::string>>&,
                            const std::string&) {
  return "";
}

void ShowFormDialog(void*, FormDescription&) {}
