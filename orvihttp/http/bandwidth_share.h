#pragma once

#include <cstdint>
#include <vector>

// One connection's side of the download cap.
struct BandwidthShare {
  uint32_t currentRate = 0;  // bytes per second, 0 when not downloading
  int32_t rateCeiling = 0;   // KB/s, MaxDown when its transfer started
  int32_t allowedRate = 0;   // KB/s, its current share
};

// Shares `maxDown` KB/s among the downloading entries (those with a nonzero
// current rate): spare capacity is split evenly among them (never above
// their ceiling); an excess is cut from each in equal parts, and then every
// entry is given at least 1 KB/s. A downloading entry never gets less than
// 1 KB/s. A maxDown of 0 (or below) means no cap.
void ShareBandwidth(int32_t maxDown, std::vector<BandwidthShare>& entries);
