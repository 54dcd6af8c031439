#include "orvihttp/content/php_process_pool.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "foundation/thread.h"

namespace {

std::unique_ptr<ListeningChild> StartProgram(const std::string& phpPath) {
  // One program per process: the pool, not PHP, decides how many run, and
  // sees each one end.
  std::string commandLine = phpPath;
  if (phpPath.find_first_of(" \t") != std::string::npos && phpPath.find('"') == std::string::npos)
    commandLine = "\"" + phpPath + "\"";
  return StartListeningChild(
      commandLine,
      {"PHP_FCGI_CHILDREN=0", "PHP_FCGI_MAX_REQUESTS=" + std::to_string(kPhpRequestsPerProgram)});
}

}  // namespace

int PhpProcessPoolLimit() {
  return std::clamp(2 * static_cast<int>(std::thread::hardware_concurrency()), 2, 8);
}

PhpProcessPool::Lease::~Lease() {
  pool_.GiveBack(std::move(program_), served_ + 1, generation_, healthy_);
}

PhpProcessPool::~PhpProcessPool() {
  EndAll();
}

std::unique_ptr<PhpProcessPool::Lease> PhpProcessPool::Acquire(const std::string& phpPath,
                                                               uint32_t milliseconds,
                                                               Failure* failure) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  std::unique_lock<std::mutex> lock(mutex_);
  if (phpPath != phpPath_) {
    // The user chose another program: the old ones go.
    phpPath_ = phpPath;
    idle_.clear();
    ++generation_;
  }
  for (;;) {
    while (!idle_.empty()) {
      Idle idle = std::move(idle_.back());
      idle_.pop_back();
      // One that ended meanwhile (killed, or done with its share) is dropped.
      if (!idle.program->Running()) continue;
      ++busy_;
      return std::unique_ptr<Lease>(
          new Lease(*this, std::move(idle.program), idle.served, generation_));
    }
    if (busy_ < limit_) {
      ++busy_;
      const uint64_t generation = generation_;
      lock.unlock();
      // Started outside the lock: a start takes a while, and others may
      // take programs given back meanwhile.
      std::unique_ptr<ListeningChild> program = StartProgram(phpPath);
      if (!program) {
        lock.lock();
        --busy_;
        freed_.notify_one();
        *failure = Failure::CannotStart;
        return nullptr;
      }
      return std::unique_ptr<Lease>(new Lease(*this, std::move(program), 0, generation));
    }
    // Short slices, so a connection being stopped does not wait it out.
    if (Thread::CurrentStopRequested()) {
      *failure = Failure::Stopped;
      return nullptr;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      *failure = Failure::Busy;
      return nullptr;
    }
    freed_.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(100)));
  }
}

void PhpProcessPool::GiveBack(std::unique_ptr<ListeningChild> program, int served,
                              uint64_t generation, bool healthy) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    --busy_;
    if (healthy && generation == generation_ && served < kPhpRequestsPerProgram &&
        program->Running()) {
      idle_.push_back(Idle{std::move(program), served});
    }
  }
  freed_.notify_one();
  // A program not kept is ended here, outside the lock.
}

void PhpProcessPool::EndAll() {
  std::vector<Idle> ending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending.swap(idle_);
    ++generation_;
  }
  freed_.notify_all();
}

int PhpProcessPool::Running() {
  std::lock_guard<std::mutex> lock(mutex_);
  int running = busy_;
  for (Idle& idle : idle_) running += idle.program->Running() ? 1 : 0;
  return running;
}

void PhpProcessPool::SetLimitForTesting(int limit) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    limit_ = limit > 0 ? limit : PhpProcessPoolLimit();
  }
  freed_.notify_all();
}
