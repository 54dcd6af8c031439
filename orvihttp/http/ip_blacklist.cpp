#include "orvihttp/http/ip_blacklist.h"

#include <algorithm>

#include "foundation/singleton.h"

namespace {

struct IpBlacklist {
  std::vector<std::string> addresses;
};

Singleton<IpBlacklist> blacklist;

}  // namespace

void BanAddress(const std::string& address) {
  SingletonAccess<IpBlacklist> list(blacklist);
  auto& addresses = list->addresses;
  if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
    addresses.push_back(address);
  }
}

void UnbanAddress(const std::string& address) {
  SingletonAccess<IpBlacklist> list(blacklist);
  auto& addresses = list->addresses;
  auto found = std::find(addresses.begin(), addresses.end(), address);
  if (found != addresses.end()) addresses.erase(found);
}

bool IsAddressBanned(const std::string& address) {
  SingletonAccess<IpBlacklist> list(blacklist);
  const auto& addresses = list->addresses;
  return std::find(addresses.begin(), addresses.end(), address) != addresses.end();
}

std::vector<std::string> BannedAddresses() {
  SingletonAccess<IpBlacklist> list(blacklist);
  return list->addresses;
}

void DestroyIpBlacklist() {
  blacklist.Destroy();
}
