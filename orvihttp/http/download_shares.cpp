#include "orvihttp/http/download_shares.h"

#include <algorithm>

#include "orvihttp/http/bandwidth_share.h"

void DownloadShares::DropEnded() {
  std::erase_if(slots_, [](const std::weak_ptr<DownloadSlot>& slot) { return slot.expired(); });
}

std::shared_ptr<DownloadSlot> DownloadShares::Join() {
  auto slot = std::make_shared<DownloadSlot>();
  std::lock_guard<std::mutex> lock(mutex_);
  if (slots_.size() >= dropEndedAt_) {
    DropEnded();
    dropEndedAt_ = std::max<std::size_t>(64, slots_.size() * 2);
  }
  slots_.push_back(slot);
  return slot;
}

void DownloadShares::Rebalance(int32_t maxDown) {
  if (maxDown <= 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::shared_ptr<DownloadSlot>> live;
  live.reserve(slots_.size());
  for (const std::weak_ptr<DownloadSlot>& each : slots_) {
    if (std::shared_ptr<DownloadSlot> slot = each.lock()) live.push_back(std::move(slot));
  }
  std::vector<BandwidthShare> entries(live.size());
  for (std::size_t i = 0; i < live.size(); ++i) {
    entries[i].currentRate = live[i]->currentRate.load(std::memory_order_relaxed);
    entries[i].rateCeiling = live[i]->rateCeiling.load(std::memory_order_relaxed);
    entries[i].allowedRate = live[i]->allowedRate.load(std::memory_order_relaxed);
  }
  ShareBandwidth(maxDown, entries);
  for (std::size_t i = 0; i < live.size(); ++i) {
    live[i]->allowedRate.store(entries[i].allowedRate, std::memory_order_relaxed);
  }
}

int32_t DownloadShares::BeginCappedTransfer(DownloadSlot& slot, int32_t maxDown) {
  std::lock_guard<std::mutex> lock(mutex_);
  int32_t running = 1;
  for (const std::weak_ptr<DownloadSlot>& each : slots_) {
    std::shared_ptr<DownloadSlot> other = each.lock();
    if (other && other.get() != &slot && other->transferring.load(std::memory_order_relaxed)) {
      ++running;
    }
  }
  const int32_t part = std::max(1, maxDown / running);
  slot.rateCeiling.store(maxDown, std::memory_order_relaxed);
  slot.allowedRate.store(part, std::memory_order_relaxed);
  slot.transferring.store(true, std::memory_order_relaxed);
  return part;
}

void DownloadShares::EndCappedTransfer(DownloadSlot& slot) {
  slot.transferring.store(false, std::memory_order_relaxed);
  slot.currentRate.store(0, std::memory_order_relaxed);
}
