// A child inherits its own pipe ends only, not the handles its parent marked
// inheritable for some other purpose.
#include <windows.h>

#include <gtest/gtest.h>

#include "foundation/child_process.h"
#include "tests/support/child_program.h"

namespace {

TEST(ChildProcessHandles, ChildDoesNotInheritOtherInheritableHandles) {
  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof inheritable;
  inheritable.bInheritHandle = TRUE;
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));

  std::unique_ptr<ChildProcessStream> child =
      OpenChildProcess(QuotedTestProgram("fixture_fake_cgi") + " --sleep 3000", "r");
  ASSERT_NE(child, nullptr);
  // With our write end closed, the pipe is broken at once unless the child
  // holds a copy of it.
  CloseHandle(writeEnd);
  DWORD available = 0;
  const BOOL peeked = PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr);
  const DWORD error = GetLastError();
  EXPECT_FALSE(peeked);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_BROKEN_PIPE));
  child->Terminate();
  CloseChildProcess(std::move(child));
  CloseHandle(readEnd);
}

}  // namespace
