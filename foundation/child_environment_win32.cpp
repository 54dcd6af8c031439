#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "foundation/child_environment.h"

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
  auto nameOf = [](const std::string& entry) {
    // Entries such as "=C:=C:\\" keep their leading "=" in the name.
    const std::size_t equals = entry.find('=', 1);
    std::string name = entry.substr(0, equals);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
  };
  std::vector<std::string> entries;
  if (char* block = GetEnvironmentStringsA()) {
    for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) {
      const std::string text = entry;
      bool replaced = false;
      for (const std::string& added : extra) replaced = replaced || nameOf(added) == nameOf(text);
      if (!replaced) entries.push_back(text);
    }
    FreeEnvironmentStringsA(block);
  }
  entries.insert(entries.end(), extra.begin(), extra.end());
  std::stable_sort(entries.begin(), entries.end(), [&](const std::string& a, const std::string& b) {
    return nameOf(a) < nameOf(b);
  });
  return entries;
}
