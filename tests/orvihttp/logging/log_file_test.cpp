#include "orvihttp/logging/log_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/test_support.h"

// Lines held back by a busy thread leave in the order they came: with the
// next line written at once, at a flush, or once the oldest has waited long
// enough; and never more than the limit stays in memory.
TEST(HeldBackLogLines, LeaveInOrderAtTheNextWriteAFlushOrTheirTime) {
  TempFolder folder;
  const std::string path = folder.File("access.log");
  ServerLogs logs;
  std::thread([&] {
    HoldBackLogLines holdBack;
    AppendToLog(logs, &OpenLogs::access, path, "1\n");
    AppendToLog(logs, &OpenLogs::access, path, "2\n");
  }).join();
  EXPECT_EQ(ReadFileBytes(path), "");
  AppendToLog(logs, &OpenLogs::access, path, "3\n");  // a thread that holds nothing back
  EXPECT_EQ(ReadFileBytes(path), "1\n2\n3\n");

  std::thread([&] {
    HoldBackLogLines holdBack;
    AppendToLog(logs, &OpenLogs::access, path, "4\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(kLogHoldBackMs + 50));
    AppendToLog(logs, &OpenLogs::access, path, "5\n");
    EXPECT_EQ(ReadFileBytes(path), "1\n2\n3\n4\n5\n") << "the oldest waited long enough";
    const std::string line(100, 'x');
    for (std::size_t held = 0; held < kLogHoldBackBytes; held += line.size())
      AppendToLog(logs, &OpenLogs::access, path, line);
    EXPECT_GE(ReadFileBytes(path).size(), kLogHoldBackBytes) << "the limit was reached";
    AppendToLog(logs, &OpenLogs::access, path, "6\n");
  }).join();
  FlushLogs(logs);
  const std::string log = ReadFileBytes(path);
  EXPECT_EQ(log.substr(log.size() - 3), "x6\n");
  CloseLogFiles(logs);
}
