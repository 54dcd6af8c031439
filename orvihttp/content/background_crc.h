#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "foundation/thread.h"

// Takes the CRC-32 of one piece at a time on a thread of its own, so that a
// body can hand its bytes to the sender while they are still being checked:
// the sending thread then costs no more than for a plain file.
class BackgroundCrc : public Thread {
 public:
  BackgroundCrc() = default;
  ~BackgroundCrc() override;
  BackgroundCrc(const BackgroundCrc&) = delete;
  BackgroundCrc& operator=(const BackgroundCrc&) = delete;

  // Goes on from `crc` over the `size` bytes at `data`, which must stay as
  // they are until Result() (or the end of this object). Only one piece at a
  // time: a piece begun earlier must have been collected.
  void Begin(uint32_t crc, const char* data, std::size_t size);
  // Waits for the piece begun last; its CRC-32. The wait is not cut short by
  // a stop: the caller may free the bytes once it returns.
  uint32_t Result();

 protected:
  void Run() override;
  void OnThreadStop() override;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  uint32_t crc_ = 0;
  bool busy_ = false;
};
