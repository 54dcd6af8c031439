#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "foundation/child_process.h"
#include "tests/support/child_program.h"

namespace {

// Children of this process as /proc shows them: how many, and how many of
// them are zombies.
void CountChildren(int* all, int* zombies) {
  *all = 0;
  *zombies = 0;
  DIR* proc = opendir("/proc");
  if (!proc) return;
  const pid_t self = getpid();
  while (dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (name) state ppid ...; the name may hold spaces and parentheses.
    std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 4 > line.size()) continue;
    char state = line[close + 2];
    long parent = std::strtol(line.c_str() + close + 4, nullptr, 10);
    if (parent != self) continue;
    ++*all;
    if (state == 'Z') ++*zombies;
  }
  closedir(proc);
}

bool WaitForNoChildren() {
  for (int i = 0; i < 500; ++i) {
    int all, zombies;
    CountChildren(&all, &zombies);
    if (all == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

TEST(ChildProcessPosix, NoZombieStaysBehind) {
  const std::string program = QuotedTestProgram("fixture_fake_cgi");
  ASSERT_TRUE(WaitForNoChildren());
  // One that has ended when its stream closes, one that runs on after it.
  for (const char* arguments : {" --print a", " --print a --close-stdout --sleep 300"}) {
    std::unique_ptr<ChildProcessStream> child = OpenChildProcess(program + arguments, "r");
    ASSERT_TRUE(child);
    char buffer[16];
    while (child->Read(buffer, sizeof buffer) > 0) {
    }
    CloseChildProcess(std::move(child));
  }
  int all, zombies;
  CountChildren(&all, &zombies);
  EXPECT_LE(all, 2);
  EXPECT_TRUE(WaitForNoChildren());
}

TEST(ChildProcessPosix, CommandLineIsNeverGivenToAShell) {
  // Shell syntax reaches the program as plain arguments.
  EXPECT_EQ(RunProgram(QuotedTestProgram("fixture_fake_cgi") + " --args $HOME ; echo x `id` |"),
            "[--args]\n[$HOME]\n[;]\n[echo]\n[x]\n[`id`]\n[|]\n");
}
