// Generates a binary log of 1,000,000 records, then times the first full
// aggregation of the Statistics page and a refresh that finds 1,000 new
// records at the end. Usage: statistics_bench [folder for the log file]

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "orvihttp/logging/binary_log.h"
#include "orvihttp/logging/statistics.h"
#include "orvihttp/logging/stats_period.h"

namespace {

// The mix a day of browsing leaves: per connection a GET of a file (success
// and download), a HEAD and a miss.
std::string Records(int count, int32_t start) {
  std::string bytes;
  for (int i = 0; i < count; ++i) {
    int32_t time = start + i * 3;
    std::string address = "192.168.1." + std::to_string(i % 200);
    switch (i % 5) {
      case 0:
        bytes += EncodeBinLogRecord(time, 0, "", "", 0);
        break;
      case 1:
      case 3:
        bytes += EncodeBinLogRecord(time, 3, address, "", 0);
        break;
      case 2:
        bytes += EncodeBinLogRecord(time, 8, address, "/files/file" + std::to_string(i) + ".zip",
                                    static_cast<uint32_t>(i * 37));
        break;
      default:
        bytes += EncodeBinLogRecord(time, 4, address, "", 0);
        break;
    }
  }
  return bytes;
}

bool AppendTo(const std::string& path, const std::string& bytes, const char* mode) {
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

double Seconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double>(elapsed).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : ".";
  std::string path = folder + "/statistics_bench.binlog";
  std::time_t now = std::time(nullptr);
  constexpr int kRecords = 1000000;
  constexpr int kNew = 1000;
  // Three seconds apart, the records span about 35 days up to now.
  int32_t start = static_cast<int32_t>(now) - kRecords * 3;
  if (!AppendTo(path, Records(kRecords, start), "wb")) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }

  for (int period : {kStatsTotal, kStatsThisMonth}) {
    StatsAggregation stats;
    auto begin = std::chrono::steady_clock::now();
    stats.Refresh(period, path, now);
    double full = Seconds(std::chrono::steady_clock::now() - begin);
    std::printf("%-10s first aggregation of %d records (%llu bytes): %.3f s, %u files listed\n",
                StatsPeriodText(period), kRecords, static_cast<unsigned long long>(stats.offset()),
                full, stats.counters().filesSent);

    begin = std::chrono::steady_clock::now();
    stats.Refresh(period, path, now);
    double idle = Seconds(std::chrono::steady_clock::now() - begin);

    uint64_t before = stats.offset();
    AppendTo(path, Records(kNew, static_cast<int32_t>(now)), "ab");
    begin = std::chrono::steady_clock::now();
    stats.Refresh(period, path, now);
    double refresh = Seconds(std::chrono::steady_clock::now() - begin);
    std::printf(
        "%-10s refresh with nothing new: %.6f s; with %d new records (%llu bytes): %.6f s\n",
        StatsPeriodText(period), idle, kNew,
        static_cast<unsigned long long>(stats.offset() - before), refresh);
    // Leave the log as it was for the next period.
    AppendTo(path, Records(kRecords, start), "wb");
  }
  std::remove(path.c_str());
  return 0;
}
