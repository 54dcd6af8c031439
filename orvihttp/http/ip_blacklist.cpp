#include "orvihttp/http/ip_blacklist.h"

#include <algorithm>

void IpBlacklist::Ban(const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (std::find(addresses_.begin(), addresses_.end(), address) == addresses_.end()) {
    addresses_.push_back(address);
  }
}

void IpBlacklist::Unban(const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = std::find(addresses_.begin(), addresses_.end(), address);
  if (found != addresses_.end()) addresses_.erase(found);
}

bool IpBlacklist::IsBanned(const std::string& address) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::find(addresses_.begin(), addresses_.end(), address) != addresses_.end();
}

std::vector<std::string> IpBlacklist::Addresses() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return addresses_;
}
