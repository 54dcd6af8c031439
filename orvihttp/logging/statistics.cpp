#include "orvihttp/logging/statistics.h"

#include "orvihttp/logging/byte_size_text.h"
#include "orvihttp/logging/local_time.h"
#include "orvihttp/logging/stats_period.h"

namespace {

constexpr int64_t kQuarterHour = 15 * 60;

std::string DateText(int32_t time) {
  std::tm local = LocalCalendarTime(static_cast<std::time_t>(time));
  char text[64];
  std::size_t length = std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S", &local);
  return std::string(text, length);
}

int64_t FloorDiv(int64_t value, int64_t divisor) {
  int64_t quotient = value / divisor;
  return value % divisor < 0 ? quotient - 1 : quotient;
}

}  // namespace

std::array<std::string, 5> TransferRowTexts(const TransferRow& row) {
  if (row.upload) return {"Upload", row.address, row.name, "", ""};
  return {"Download", row.address, row.name, FormatByteSize(row.size), DateText(row.time)};
}

bool StatsAggregation::Refresh(int selection, const std::string& path, std::time_t now) {
  bool cleared = false;
  if (selection != period_) {
    period_ = selection;
    Clear();
    follower_.Reset();
    cleared = true;
  }
  if (path.empty()) return cleared;
  std::tm today = LocalCalendarTime(now);
  BinLogFollower::Pass pass = follower_.ReadNew(
      path, [&] { Clear(); }, [&](const BinLogRecord& record) { Count(record, today); });
  return cleared || pass == BinLogFollower::Pass::Restarted;
}

void StatsAggregation::Clear() {
  counters_ = StatsCounters{};
  rows_.clear();
}

const std::tm& StatsAggregation::LocalDay(int32_t time) {
  int64_t quarter = FloorDiv(time, kQuarterHour);
  if (quarter != cachedQuarter_) {
    cachedQuarter_ = quarter;
    cachedDay_ = LocalCalendarTime(static_cast<std::time_t>(time));
  }
  return cachedDay_;
}

void StatsAggregation::Count(const BinLogRecord& record, const std::tm& now) {
  if (!InStatsPeriod(period_, now, LocalDay(record.time))) return;
  switch (static_cast<BinLogType>(record.type)) {
    case BinLogType::ConnectionAccepted:
      ++counters_.connections;
      break;
    case BinLogType::RequestSucceeded:
      ++counters_.successfulRequests;
      break;
    case BinLogType::RequestFailed:
      ++counters_.failedRequests;
      break;
    case BinLogType::FileDownloaded:
      rows_.push_back({false, record.first, record.second, record.value, record.time});
      counters_.bytesDownloaded += record.value;
      ++counters_.filesSent;
      break;
    case BinLogType::FileUploaded:
      rows_.push_back({true, record.first, record.second, record.value, record.time});
      break;
    default:
      break;
  }
}
