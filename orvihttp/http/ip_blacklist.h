#pragma once

#include <mutex>
#include <string>
#include <vector>

// One server's banned peer addresses (dotted-decimal text), in the order they
// were added. Memory only: empty at every plugin start, never saved. Every
// call takes the list's own lock; callers get copies.
class IpBlacklist {
 public:
  // Appends the address unless an equal one (exact, case-sensitive) is there.
  void Ban(const std::string& address);
  // Removes the first equal entry, if any.
  void Unban(const std::string& address);
  bool IsBanned(const std::string& address) const;
  std::vector<std::string> Addresses() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> addresses_;
};
