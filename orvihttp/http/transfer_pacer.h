#pragma once

#include <cstdint>
#include <functional>

// Paces one transfer under the download cap. The connection's allowed rate
// (KB/s) is spent in 100-ms slots: once a slot's budget is used up, the
// transfer sleeps until the next slot. Every 100 ms or more it measures its
// smoothed rate, so the caller can let the registry re-share the cap and hand
// the new share back; a new share applies from the current slot on. A rate of
// 0 means no cap: no budget and no sleeps.
class TransferPacer {
 public:
  static constexpr uint32_t kSlotMs = 100;
  // How many slots of a shrunk share the bytes already sent may fill.
  static constexpr uint64_t kMaxCarriedSlots = 10;
  // Milliseconds of a clock that wraps at 32 bits.
  using Clock = std::function<uint32_t()>;
  // Sleeps that many milliseconds; false when woken instead.
  using Sleep = std::function<bool(uint32_t milliseconds)>;

  TransferPacer(int32_t allowedRate, Clock clock, Sleep sleep);

  // How many of `wanted` bytes the next step may send.
  uint64_t StepSize(uint64_t wanted) const;
  // Counts `bytes` just sent. True when that took a new measurement; Rate()
  // then tells the new smoothed rate.
  bool Sent(uint64_t bytes);
  // Bytes per second, each measurement averaged with the one before.
  uint32_t Rate() const { return rate_; }
  // The connection's share after a re-share.
  void SetAllowedRate(int32_t allowedRate);
  // Sleeps through the slots the budget used so far fills; false when a
  // sleep was woken.
  bool WaitForSlot();

 private:
  Clock clock_;
  Sleep sleep_;
  int32_t rateSeen_ = 0;
  uint64_t budget_ = 0;
  uint64_t slotUsed_ = 0;
  uint32_t lastMeasure_ = 0;
  uint32_t nextSlot_ = 0;
  uint64_t since_ = 0;
  uint32_t rate_ = 0;
};
