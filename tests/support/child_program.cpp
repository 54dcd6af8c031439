#include "tests/support/child_program.h"

#include <gtest/gtest.h>

#include "foundation/child_process.h"
#include "foundation/paths.h"
#include "tests/support/test_support.h"

std::string TestProgramPath(const std::string& base) {
  const bool windows = kPathSeparator == '\\';
  return JoinPath(TestBinaryDir(), windows ? base + ".exe" : base);
}

std::string QuotedTestProgram(const std::string& base) {
  return "\"" + TestProgramPath(base) + "\"";
}

std::string RunProgram(const std::string& commandLine, int* exitCode, bool withErrors) {
  ChildProcessOptions options;
  options.captureStandardError = withErrors;
  std::unique_ptr<ChildProcessStream> child = OpenChildProcess(commandLine, "r", options);
  EXPECT_TRUE(child) << "cannot start: " << commandLine;
  if (!child) {
    if (exitCode) *exitCode = -1;
    return std::string();
  }
  std::string output;
  char buffer[4096];
  std::ptrdiff_t got;
  while ((got = child->Read(buffer, sizeof buffer)) > 0) output.append(buffer, got);
  EXPECT_EQ(got, 0) << "read failed: " << commandLine;
  int code = child->WaitForExit();
  if (exitCode) *exitCode = code;
  CloseChildProcess(std::move(child));
  return output;
}
