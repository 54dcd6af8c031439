#include "foundation/child_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "foundation/command_line.h"
#include "foundation/thread.h"
#include "tests/support/child_program.h"
#include "tests/support/test_support.h"

namespace {

std::string FakeCgi(const std::string& arguments) {
  return QuotedTestProgram("fixture_fake_cgi") + " " + arguments;
}

std::string ReadAll(ChildProcessStream& stream) {
  std::string output;
  char buffer[256];
  std::ptrdiff_t got;
  while ((got = stream.Read(buffer, sizeof buffer)) > 0) output.append(buffer, got);
  EXPECT_EQ(got, 0);
  return output;
}

}  // namespace

TEST(ChildProcess, MissingProgramGivesNothing) {
  EXPECT_FALSE(OpenChildProcess(QuotedTestProgram("no_such_program_here") + " x", "r"));
  EXPECT_FALSE(OpenChildProcess("orvi-no-such-program-anywhere", "r"));
  EXPECT_FALSE(OpenChildProcess("", "r"));
}

TEST(ChildProcess, OutputBytesArriveUnchanged) {
  EXPECT_EQ(RunProgram(FakeCgi("--hex 610d0a62")), "a\r\nb");
  EXPECT_EQ(RunProgram(FakeCgi("--hex 1a0a1a0d1a")), "\x1a\n\x1a\r\x1a");
  std::string every;
  std::string hex;
  const char digits[] = "0123456789abcdef";
  for (int byte = 0; byte < 256; ++byte) {
    every.push_back(static_cast<char>(byte));
    hex += {digits[byte / 16], digits[byte % 16]};
  }
  EXPECT_EQ(RunProgram(FakeCgi("--hex " + hex)), every);
}

TEST(ChildProcess, ArgumentsAreSplitByTheWindowsRules) {
  const std::string arguments =
      R"(--args plain "two words" a\\\b d"e f"g a\\\"b a\\\\"b c" "" tail\)";
  std::string expected;
  std::vector<std::string> split = SplitCommandLine("p " + arguments);
  for (std::size_t i = 1; i < split.size(); ++i) expected += "[" + split[i] + "]\n";
  EXPECT_EQ(RunProgram(FakeCgi(arguments)), expected);
  EXPECT_EQ(expected,
            "[--args]\n[plain]\n[two words]\n[a\\\\\\b]\n[de fg]\n[a\\\"b]\n[a\\\\b c]\n[]\n"
            "[tail\\]\n");
}

TEST(ChildProcess, WriteModeFeedsTheChildsInput) {
  TempFolder folder;
  const std::string target = folder.File("input.bin");
  std::unique_ptr<ChildProcessStream> child =
      OpenChildProcess(FakeCgi("--stdin-to " + QuoteCommandLineArgument(target)), "wt");
  ASSERT_TRUE(child);
  char none[4];
  EXPECT_EQ(child->Read(none, sizeof none), -1);
  const std::string bytes("x\r\ny\n\x1a\0z", 8);
  EXPECT_TRUE(child->Write(bytes.data(), bytes.size()));
  EXPECT_TRUE(child->Write("!", 1));
  EXPECT_EQ(child->WaitForExit(), 0);
  CloseChildProcess(std::move(child));
  EXPECT_EQ(ReadFileBytes(target), bytes + "!");
}

TEST(ChildProcess, ReadModeStreamCannotWrite) {
  std::unique_ptr<ChildProcessStream> child = OpenChildProcess(FakeCgi("--print x"), "r");
  ASSERT_TRUE(child);
  EXPECT_FALSE(child->Write("a", 1));
  EXPECT_EQ(ReadAll(*child), "x");
  CloseChildProcess(std::move(child));
}

TEST(ChildProcess, ExitCodeAndEnvironment) {
  int code = -5;
  EXPECT_EQ(RunProgram(FakeCgi("--print a --exit 7 --print b"), &code), "a");
  EXPECT_EQ(code, 7);
  SetEnvironment("ORVI_CHILD_TEST", "inherited value");
  EXPECT_EQ(RunProgram(FakeCgi("--env ORVI_CHILD_TEST")), "inherited value\n");
  SetEnvironment("ORVI_CHILD_TEST", "");
}

TEST(ChildProcess, AddedEnvironmentEntriesJoinOrReplaceTheParents) {
  SetEnvironment("ORVI_CHILD_TEST", "inherited value");
  ChildProcessOptions options;
  options.environment = {"ORVI_CHILD_TEST=replaced", "ORVI_CHILD_ADDED=added"};
  std::unique_ptr<ChildProcessStream> child = OpenChildProcess(
      FakeCgi("--env ORVI_CHILD_TEST --env ORVI_CHILD_ADDED --env PATH"), "r", options);
  ASSERT_NE(child, nullptr);
  std::string output;
  char piece[256];
  std::ptrdiff_t got;
  while ((got = child->Read(piece, sizeof piece)) > 0) output.append(piece, got);
  CloseChildProcess(std::move(child));
  // The rest of the parent's environment is still there.
  EXPECT_EQ(output.substr(0, output.find('\n', output.find('\n') + 1) + 1), "replaced\nadded\n");
  EXPECT_GT(output.size(), std::string("replaced\nadded\n\n").size()) << "PATH went missing";
  SetEnvironment("ORVI_CHILD_TEST", "");
}

TEST(ChildProcess, StandardErrorIsNotCapturedUnlessAsked) {
  EXPECT_EQ(RunProgram(FakeCgi("--stderr oops --print ok")), "ok");
  EXPECT_EQ(RunProgram(FakeCgi("--stderr oops --print ok"), nullptr, true), "oopsok");
}

TEST(ChildProcess, EndOfInputWhenTheChildClosesItsOutput) {
  // The stream ends although the child still runs; closing does not wait.
  std::unique_ptr<ChildProcessStream> child =
      OpenChildProcess(FakeCgi("--print a --close-stdout --sleep 1500"), "r");
  ASSERT_TRUE(child);
  EXPECT_EQ(ReadAll(*child), "a");
  CloseChildProcess(std::move(child));
}

TEST(ChildProcess, SeveralChildrenAtOnceFromSeveralThreads) {
  constexpr int kThreads = 4;
  constexpr int kRuns = 4;
  std::vector<std::thread> threads;
  std::atomic<int> right{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &right] {
      for (int run = 0; run < kRuns; ++run) {
        const std::string text = "thread" + std::to_string(t) + "run" + std::to_string(run);
        std::unique_ptr<ChildProcessStream> child =
            OpenChildProcess(FakeCgi("--print " + text + " --sleep 50 --print .end"), "r");
        if (!child) continue;
        std::string output;
        char buffer[64];
        std::ptrdiff_t got;
        while ((got = child->Read(buffer, sizeof buffer)) > 0) output.append(buffer, got);
        CloseChildProcess(std::move(child));
        if (output == text + ".end") ++right;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(right, kThreads * kRuns);
}

namespace {

// Reads a child that announces itself and then stays silent for a minute.
class SilentChildReader : public Thread {
 public:
  ~SilentChildReader() override { Stop(); }

  std::atomic<bool> announced{false};
  std::atomic<std::ptrdiff_t> lastRead{-7};

 protected:
  void Run() override {
    std::unique_ptr<ChildProcessStream> child =
        OpenChildProcess(FakeCgi("--print ready --sleep 60000"), "r");
    if (!child) return;
    char buffer[16];
    std::ptrdiff_t got = child->Read(buffer, sizeof buffer);
    announced = got == 5;
    lastRead = child->Read(buffer, sizeof buffer);
    CloseChildProcess(std::move(child));
  }
};

}  // namespace

TEST(ChildProcess, StopWakesAReadThatWaitsForTheChild) {
  SilentChildReader reader;
  ASSERT_TRUE(reader.Start());
  for (int i = 0; i < 3000 && !reader.announced; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(reader.announced);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto before = std::chrono::steady_clock::now();
  reader.Stop();
  // Far less than the child's minute: the stop woke the read.
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));
  EXPECT_EQ(reader.lastRead, -1);
}
