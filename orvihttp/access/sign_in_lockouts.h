#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// Addresses that guessed wrong too often: after kFailuresToLockOut wrong
// sign-ins within kFailureWindowMs, an address may not try again for
// kLockOutMs. Times are milliseconds of a monotonic clock. Loopback is never
// counted (the caller leaves it out), so the user at the machine cannot lock
// themselves out.
class SignInLockouts {
 public:
  static constexpr int kFailuresToLockOut = 5;
  static constexpr int64_t kFailureWindowMs = 5 * 60 * 1000;
  static constexpr int64_t kLockOutMs = 15 * 60 * 1000;

  bool IsLockedOut(const std::string& address, int64_t nowMs) const;
  // Counts a wrong sign-in; true when it locked the address out.
  bool RecordFailure(const std::string& address, int64_t nowMs);
  // The addresses locked out now, for the Info page.
  std::vector<std::string> LockedOut(int64_t nowMs) const;

 private:
  struct Record {
    std::vector<int64_t> failures;  // within the window, oldest first
    int64_t lockedUntil = -1;
  };
  void Forget(int64_t nowMs);

  mutable std::mutex mutex_;
  std::map<std::string, Record> records_;
};
