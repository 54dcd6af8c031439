#include "foundation/child_environment.h"

extern char** environ;

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const std::string& added : extra) replaced = replaced || added.rfind(name + "=", 0) == 0;
    if (!replaced) entries.push_back(text);
  }
  entries.insert(entries.end(), extra.begin(), extra.end());
  return entries;
}
