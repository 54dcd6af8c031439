#include "foundation/child_spawn_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "foundation/child_environment.h"

DescriptorReady WaitForDescriptor(int fd, short events, int wakeFd, uint32_t milliseconds) {
  pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    int timeout = -1;
    if (milliseconds != kWaitForever) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      timeout = static_cast<int>(std::max<int64_t>(0, left.count()));
    }
    int ready = poll(fds, 2, timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return DescriptorReady::Stopped;
    }
    if (ready == 0) return DescriptorReady::TimedOut;
    if (fds[1].revents != 0) return DescriptorReady::Stopped;
    if (fds[0].revents != 0) return DescriptorReady::Yes;
  }
}

void SignalWake(int wakeFd) {
  uint64_t one = 1;
  ssize_t ignored = write(wakeFd, &one, sizeof one);
  (void)ignored;
}

pid_t SpawnChild(const std::vector<std::string>& arguments,
                 const std::vector<std::string>& extraEnvironment, int input, int output,
                 int error) {
  const std::vector<std::string> environment = ChildEnvironment(extraEnvironment);
  std::vector<char*> envp;
  for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return -1;
  }
  const int handles[3] = {input, output, error};
  for (int target = 0; target < 3; ++target) {
    if (handles[target] >= 0) {
      posix_spawn_file_actions_adddup2(&actions, handles[target], target);
    } else {
      posix_spawn_file_actions_addopen(&actions, target, "/dev/null",
                                       target == 0 ? O_RDONLY : O_WRONLY, 0);
    }
  }
  // The server ignores SIGPIPE and its threads may block signals; the child
  // starts with the defaults.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}
