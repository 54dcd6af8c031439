#include "orvihttp/http/transfer_pacer.h"

#include <algorithm>
#include <utility>

namespace {

// Bytes a rate of `kilobytesPerSecond` allows in one slot.
uint64_t SlotBudget(int32_t kilobytesPerSecond) {
  return static_cast<uint64_t>(kilobytesPerSecond) * 1024u * TransferPacer::kSlotMs / 1000u;
}

// True when clock value `a` lies before `b` (the 32-bit clock wraps).
bool Before(uint32_t a, uint32_t b) {
  return static_cast<int32_t>(a - b) < 0;
}

}  // namespace

TransferPacer::TransferPacer(int32_t allowedRate, Clock clock, Sleep sleep)
    : clock_(std::move(clock)), sleep_(std::move(sleep)) {
  rateSeen_ = allowedRate > 0 ? allowedRate : 0;
  budget_ = SlotBudget(rateSeen_);
  lastMeasure_ = clock_();
  nextSlot_ = lastMeasure_ + kSlotMs;
}

uint64_t TransferPacer::StepSize(uint64_t wanted) const {
  if (rateSeen_ > 0) return std::min<uint64_t>(wanted, budget_ - slotUsed_);
  return wanted;
}

bool TransferPacer::Sent(uint64_t bytes) {
  since_ += bytes;
  slotUsed_ += bytes;
  const uint32_t now = clock_();
  const uint32_t elapsed = now - lastMeasure_;
  if (elapsed < kSlotMs) return false;
  const uint64_t measured = since_ * 1000u / elapsed;
  rate_ = static_cast<uint32_t>(std::min<uint64_t>((measured + rate_) / 2, UINT32_MAX));
  lastMeasure_ = now;
  since_ = 0;
  return true;
}

void TransferPacer::SetAllowedRate(int32_t allowedRate) {
  if (allowedRate == rateSeen_) return;
  rateSeen_ = allowedRate > 0 ? allowedRate : 0;
  budget_ = SlotBudget(rateSeen_);
  // A steep cut (a new download joined) would otherwise keep this transfer
  // asleep for a long time on a share that is re-shared meanwhile; at most
  // one second of the new share is repaid, then it measures again.
  slotUsed_ = std::min(slotUsed_, budget_ * kMaxCarriedSlots);
}

bool TransferPacer::WaitForSlot() {
  bool ok = true;
  // A budget that shrank may leave more than one slot's worth used: the
  // overshoot is carried into the following slots.
  while (ok && rateSeen_ > 0 && slotUsed_ >= budget_) {
    const uint32_t now = clock_();
    if (Before(now, nextSlot_)) {
      ok = sleep_(nextSlot_ - now);
      nextSlot_ += kSlotMs;
    } else {
      // Behind the slots (the network is slower than the allowance): start
      // them afresh instead of sending a burst to catch up.
      nextSlot_ = now + kSlotMs;
    }
    slotUsed_ -= budget_;
  }
  if (rateSeen_ == 0) slotUsed_ = 0;
  return ok;
}
