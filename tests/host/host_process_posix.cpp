#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "tests/host/host_process.h"

extern char** environ;

struct HostProcess::Handle {
  pid_t pid = -1;
  bool ended = false;
};

HostProcess::~HostProcess() {
  if (handle_ && !handle_->ended) {
    RequestExit();
    if (!WaitForExit(15000)) Kill();
  }
  delete handle_;
}

bool HostProcess::Start(const std::string& program, const std::string& outputFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = -1;
  int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return false;
  delete handle_;
  handle_ = new Handle{pid, false};
  return true;
}

void HostProcess::RequestExit() {
  if (handle_ && !handle_->ended) kill(handle_->pid, SIGTERM);
}

void HostProcess::Interrupt() {
  if (handle_ && !handle_->ended) kill(handle_->pid, SIGINT);
}

bool HostProcess::Running() {
  if (!handle_ || handle_->ended) return false;
  int status = 0;
  if (waitpid(handle_->pid, &status, WNOHANG) == handle_->pid) {
    handle_->ended = true;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

bool HostProcess::WaitForExit(int timeoutMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Running()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void HostProcess::Kill() {
  if (!handle_ || handle_->ended) return;
  kill(handle_->pid, SIGKILL);
  int status = 0;
  waitpid(handle_->pid, &status, 0);
  handle_->ended = true;
}

std::string ProgramFileName(const std::string& base) {
  return base;
}

void ForgetHostRegistryPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (!config) return;
  RemoveFile(JoinPath(JoinPath(JoinPath(config, "Quintarvo"), "Trellan"), "Path"));
}
