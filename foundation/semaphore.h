#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// A counting semaphore (initial count 0, maximum 0x7FFFFFF). A wait on a
// Thread's worker also returns when that Thread is being stopped.
class Semaphore {
 public:
  enum class WaitResult { Signalled, TimedOut, Failed, Stopped };
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;
  static constexpr int32_t kMaximumCount = 0x7FFFFFF;

  Semaphore() = default;
  ~Semaphore() = default;
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;

  WaitResult Wait(uint32_t milliseconds);
  // Adds `count`; false (and no change) when that would pass the maximum.
  bool Release(int32_t count = 1);

 private:
  std::mutex mutex_;
  std::condition_variable signalled_;
  int32_t count_ = 0;
};
