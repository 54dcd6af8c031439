#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

// One connection's place in the download cap: its sender writes the rate it
// reaches and reads the rate it may take; a rebalance shares the cap out.
struct DownloadSlot {
  std::atomic<uint32_t> currentRate{0};  // bytes per second, 0 when not downloading
  std::atomic<int32_t> rateCeiling{0};   // KB/s, MaxDown when its transfer started
  std::atomic<int32_t> allowedRate{0};   // KB/s, its current share
};

// The slots of every connection, in the order the connections came. The
// registry gives a new connection its slot; a slot leaves when its
// connection lets go of it. Neither call reaches a connection or the client
// registry, so a sender can rebalance without calling back into either.

// A new slot, joined to the sharing.
std::shared_ptr<DownloadSlot> JoinDownloadShares();
// Shares `maxDown` KB/s among the downloading slots (see ShareBandwidth).
void RebalanceDownloads(int32_t maxDown);
