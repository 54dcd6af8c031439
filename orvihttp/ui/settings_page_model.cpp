#include "orvihttp/ui/settings_page_model.h"

#include <cstdio>

#include "foundation/file_open.h"
#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "orvihttp/http/ip_blacklist.h"

bool AddTypedAddressToBlacklist(IpBlacklist& blacklist, const std::string& text) {
  if (text.empty() || text == "0.0.0.0") return false;
  std::size_t before = blacklist.Addresses().size();
  blacklist.Ban(text);
  return blacklist.Addresses().size() > before;
}

bool BlacklistBoxIsStale(std::size_t linesShown, const std::vector<std::string>& blacklist) {
  return linesShown != blacklist.size();
}

std::string UnbanQuestion(const std::string& address) {
  return "Really remove the ban on IP " + address + "?";
}

std::optional<std::string> PhpProgramIn(const std::string& folder) {
  if (folder.empty()) return std::nullopt;
  std::string candidate = JoinPath(folder, "php-cgi.exe");
  if (!IsFile(candidate)) return std::nullopt;
  std::FILE* file = OpenFile(candidate, "rb");
  if (!file) return std::nullopt;
  std::fclose(file);
  return candidate;
}
