#include "orvihttp/access/sign_in_lockouts.h"

#include <algorithm>

namespace {

// A flood of guesses from many addresses must not grow the table without end;
// past this many, what has expired is dropped.
constexpr std::size_t kTidyAbove = 4096;

}  // namespace

bool SignInLockouts::IsLockedOut(const std::string& address, int64_t nowMs) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = records_.find(address);
  return found != records_.end() && found->second.lockedUntil > nowMs;
}

bool SignInLockouts::RecordFailure(const std::string& address, int64_t nowMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (records_.size() > kTidyAbove) Forget(nowMs);
  Record& record = records_[address];
  if (record.lockedUntil > nowMs) return false;
  std::vector<int64_t>& failures = record.failures;
  failures.erase(failures.begin(), std::find_if(failures.begin(), failures.end(), [&](int64_t at) {
                   return nowMs - at < kFailureWindowMs;
                 }));
  failures.push_back(nowMs);
  if (static_cast<int>(failures.size()) < kFailuresToLockOut) return false;
  failures.clear();
  record.lockedUntil = nowMs + kLockOutMs;
  return true;
}

std::vector<std::string> SignInLockouts::LockedOut(int64_t nowMs) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> addresses;
  for (const auto& [address, record] : records_) {
    if (record.lockedUntil > nowMs) addresses.push_back(address);
  }
  return addresses;
}

void SignInLockouts::Forget(int64_t nowMs) {
  for (auto at = records_.begin(); at != records_.end();) {
    const Record& record = at->second;
    const bool recent =
        !record.failures.empty() && nowMs - record.failures.back() < kFailureWindowMs;
    if (record.lockedUntil <= nowMs && !recent) {
      at = records_.erase(at);
    } else {
      ++at;
    }
  }
}
