#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "orvihttp/logging/binary_log_reader.h"

// What the Statistics page shows for one period, computed from the binary
// log. Each refresh reads only what was appended since the previous one.

// Unsigned 32-bit, wrapping like the fields they sum.
struct StatsCounters {
  uint32_t connections = 0;
  uint32_t successfulRequests = 0;
  uint32_t failedRequests = 0;
  uint32_t bytesDownloaded = 0;
  uint32_t filesSent = 0;
};

// One transferred file.
struct TransferRow {
  bool upload = false;
  std::string address;
  std::string name;
  uint32_t size = 0;
  int32_t time = 0;  // seconds since 1970
};

// The texts of a row in the list's columns: action, IP, file name, size and
// local date. An upload shows neither size nor date.
std::array<std::string, 5> TransferRowTexts(const TransferRow& row);

class StatsAggregation {
 public:
  // Reads the log at `path` for the period `selection` (a StatsPeriod; any
  // other value counts nothing) as judged at `now`. A selection other than
  // the last one starts over from an empty state and the start of the file.
  // A missing or unreadable file leaves everything as it stands. Returns
  // true when the rows were cleared.
  bool Refresh(int selection, const std::string& path, std::time_t now);

  int period() const { return period_; }
  const StatsCounters& counters() const { return counters_; }
  // Oldest first; the page shows them newest first.
  const std::vector<TransferRow>& rows() const { return rows_; }
  uint64_t offset() const { return follower_.offset(); }

 private:
  void Clear();
  void Count(const BinLogRecord& record, const std::tm& now);
  const std::tm& LocalDay(int32_t time);

  int period_ = -1;
  StatsCounters counters_;
  std::vector<TransferRow> rows_;
  BinLogFollower follower_;
  // The last local date looked up, valid for one quarter-hour of UTC: every
  // zone offset is a multiple of 15 minutes, so neither local midnight nor a
  // change of offset falls inside it.
  int64_t cachedQuarter_ = INT64_MIN;
  std::tm cachedDay_{};
};
