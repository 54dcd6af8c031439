#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// One connection's place in the download cap: its sender writes the rate it
// reaches and reads the rate it may take; a rebalance shares the cap out.
struct DownloadSlot {
  std::atomic<uint32_t> currentRate{0};   // bytes per second, 0 when not downloading
  std::atomic<int32_t> rateCeiling{0};    // KB/s, MaxDown when its transfer started
  std::atomic<int32_t> allowedRate{0};    // KB/s, its current share
  std::atomic<bool> transferring{false};  // a capped transfer is under way
};

// The slots of one server's connections, in the order the connections came.
// The registry gives a new connection its slot; a slot leaves when its
// connection lets go of it. No call reaches a connection or the client
// registry, so a sender can rebalance without calling back into either.
class DownloadShares {
 public:
  // A new slot, joined to the sharing.
  std::shared_ptr<DownloadSlot> Join();
  // Shares `maxDown` KB/s among the downloading slots (see ShareBandwidth).
  void Rebalance(int32_t maxDown);
  // A capped transfer begins on `slot`: it starts with an even part of
  // `maxDown` among the transfers under way, itself counted, rather than the
  // whole cap, so that downloads starting together (a download manager's
  // segments) do not each take the whole cap until the first rebalance.
  // Returns that part in KB/s, also stored as the slot's allowed rate.
  int32_t BeginCappedTransfer(DownloadSlot& slot, int32_t maxDown);
  // The transfer on `slot` has ended.
  static void EndCappedTransfer(DownloadSlot& slot);

 private:
  void DropEnded();

  std::mutex mutex_;
  std::vector<std::weak_ptr<DownloadSlot>> slots_;
  // Slots of ended connections are dropped when the list reaches this size,
  // so a server without a cap, which never rebalances, does not collect them.
  std::size_t dropEndedAt_ = 64;
};
