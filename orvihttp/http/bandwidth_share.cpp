#include "orvihttp/http/bandwidth_share.h"

void ShareBandwidth(int32_t maxDown, std::vector<BandwidthShare>& entries) {
  if (maxDown <= 0) return;
  const int64_t limit = maxDown;
  int64_t active = 0;
  int64_t total = 0;
  for (const BandwidthShare& entry : entries) {
    if (entry.currentRate == 0) continue;
    ++active;
    total += entry.currentRate / 1024;
  }
  if (active == 0 || total == limit) return;
  if (total < limit) {
    const int64_t spare = (limit - total) / active;
    for (BandwidthShare& entry : entries) {
      if (entry.currentRate == 0) continue;
      int64_t allowed = entry.currentRate / 1024 + spare;
      if (entry.rateCeiling >= 1 && allowed > entry.rateCeiling) allowed = entry.rateCeiling;
      // A download measured below 1 KB/s, with less spare than one KB/s for
      // each, would get 0, which its transfer reads as no cap at all: it
      // would take the whole line and starve everyone else.
      if (allowed < 1) allowed = 1;
      entry.allowedRate = static_cast<int32_t>(allowed);
    }
    return;
  }
  const int64_t excess = (total - limit) / active;
  for (BandwidthShare& entry : entries) {
    if (entry.currentRate == 0) continue;
    int64_t allowed = entry.currentRate / 1024 - excess;
    entry.allowedRate = static_cast<int32_t>(allowed < 1 ? 0 : allowed);
  }
  for (BandwidthShare& entry : entries) {
    if (entry.allowedRate < 1) entry.allowedRate = 1;
  }
}
