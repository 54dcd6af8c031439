#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/listening_child.h"

// PHP programs kept running between requests (the FastCGI way), so a page
// costs a request to a waiting program rather than the start of one. Each
// program serves one request at a time; the pool starts them as requests
// need them, up to a limit, and ends them all when it goes.
//
// A program that broke off, went over its time, or served its share of
// requests is ended when it is given back; the next request gets a fresh one.

// The most programs one pool runs: two per processor core, from 2 to 8.
int PhpProcessPoolLimit();

// Requests one program serves before it is replaced, told to PHP as well
// (PHP_FCGI_MAX_REQUESTS): a program that leaks memory does so only for a
// while. Not PHP's own 500: a start costs tens of milliseconds of processor
// time, which at 500 requests was most of what a page cost.
inline constexpr int kPhpRequestsPerProgram = 10000;

class PhpProcessPool {
 public:
  PhpProcessPool() = default;
  ~PhpProcessPool();
  PhpProcessPool(const PhpProcessPool&) = delete;
  PhpProcessPool& operator=(const PhpProcessPool&) = delete;

  // One program for one request, given back to the pool when destroyed.
  class Lease {
   public:
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ListeningChild& program() { return *program_; }
    // The program cannot be trusted with another request: end it.
    void Discard() { healthy_ = false; }

   private:
    friend class PhpProcessPool;
    Lease(PhpProcessPool& pool, std::unique_ptr<ListeningChild> program, int served,
          uint64_t generation)
        : pool_(pool), program_(std::move(program)), served_(served), generation_(generation) {}
    PhpProcessPool& pool_;
    std::unique_ptr<ListeningChild> program_;
    int served_;
    uint64_t generation_;
    bool healthy_ = true;
  };

  enum class Failure { None, Busy, CannotStart, Stopped };

  // A waiting program that runs `phpPath`, or a new one while fewer than the
  // limit run, else the first to come free within `milliseconds`. Nothing,
  // with the reason in `*failure`, when none came free in time, the program
  // could not be started, or the calling Thread is being stopped.
  std::unique_ptr<Lease> Acquire(const std::string& phpPath, uint32_t milliseconds,
                                 Failure* failure);

  // Ends every waiting program now, and every busy one as it is given back.
  void EndAll();

  // For tests: programs running now, waiting or busy.
  int Running();
  void SetLimitForTesting(int limit);

 private:
  struct Idle {
    std::unique_ptr<ListeningChild> program;
    int served = 0;
  };
  void GiveBack(std::unique_ptr<ListeningChild> program, int served, uint64_t generation,
                bool healthy);

  std::mutex mutex_;
  std::condition_variable freed_;
  std::string phpPath_;  // what the waiting programs run
  std::vector<Idle> idle_;
  int busy_ = 0;
  int limit_ = PhpProcessPoolLimit();
  // Bumped by EndAll and a change of program: programs lent out before it
  // are ended when they come back.
  uint64_t generation_ = 0;
};
