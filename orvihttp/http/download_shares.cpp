#include "orvihttp/http/download_shares.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "orvihttp/http/bandwidth_share.h"

namespace {

struct Shares {
  std::mutex mutex;
  std::vector<std::weak_ptr<DownloadSlot>> slots;
  // Slots of ended connections are dropped when the list reaches this size,
  // so a server without a cap, which never rebalances, does not collect them.
  std::size_t dropEndedAt = 64;
};

Shares& TheShares() {
  static Shares shares;
  return shares;
}

void DropEnded(Shares& shares) {
  std::erase_if(shares.slots,
                [](const std::weak_ptr<DownloadSlot>& slot) { return slot.expired(); });
}

}  // namespace

std::shared_ptr<DownloadSlot> JoinDownloadShares() {
  auto slot = std::make_shared<DownloadSlot>();
  Shares& shares = TheShares();
  std::lock_guard<std::mutex> lock(shares.mutex);
  if (shares.slots.size() >= shares.dropEndedAt) {
    DropEnded(shares);
    shares.dropEndedAt = std::max<std::size_t>(64, shares.slots.size() * 2);
  }
  shares.slots.push_back(slot);
  return slot;
}

void RebalanceDownloads(int32_t maxDown) {
  if (maxDown <= 0) return;
  Shares& shares = TheShares();
  std::lock_guard<std::mutex> lock(shares.mutex);
  std::vector<std::shared_ptr<DownloadSlot>> live;
  live.reserve(shares.slots.size());
  for (const std::weak_ptr<DownloadSlot>& each : shares.slots) {
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

int32_t BeginCappedTransfer(DownloadSlot& slot, int32_t maxDown) {
  Shares& shares = TheShares();
  std::lock_guard<std::mutex> lock(shares.mutex);
  int32_t running = 1;
  for (const std::weak_ptr<DownloadSlot>& each : shares.slots) {
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

void EndCappedTransfer(DownloadSlot& slot) {
  slot.transferring.store(false, std::memory_order_relaxed);
  slot.currentRate.store(0, std::memory_order_relaxed);
}
