// A hostile OrviHTTP.dir must cost memory in proportion to its bytes, not to
// the counts its records claim. The parse runs in a child process whose
// address space is capped a little above what the test program already uses.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <new>
#include <string>

#include "foundation/byte_codec.h"
#include "orvihttp/content/virtual_directory.h"

namespace {

// 2 MiB: 500 nested folders, each claiming as many sub-folders as the rest
// of the file could hold, then zeros (which read as empty folders).
std::string NestedClaimsFile() {
  constexpr std::size_t kSize = 2 * 1024 * 1024;
  std::string out;
  PutWord(out, kVirtualDirectoryVersion);
  for (int level = 0; level < 500; ++level) {
    PutCString(out, "d");
    PutWord(out, 0);
    PutWord(out, static_cast<uint32_t>((kSize - out.size()) / 10));
  }
  out.resize(kSize, '\0');
  return out;
}

std::size_t AddressSpaceInUse() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  unsigned long pages = 0;
  if (statm) {
    if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

TEST(VirtualDirectoryMemory, NestedHugeCountsParseInBoundedMemory) {
  const std::string bytes = NestedClaimsFile();
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    rlimit cap{};
    cap.rlim_cur = cap.rlim_max = AddressSpaceInUse() + (512u << 20);
    if (setrlimit(RLIMIT_AS, &cap) != 0) _exit(10);
    try {
      std::optional<VirtualFolder> tree =
          ParseTree(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      // The claims outrun the bytes, so the file is refused.
      _exit(tree ? 11 : 0);
    } catch (const std::bad_alloc&) {
      _exit(12);
    }
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
