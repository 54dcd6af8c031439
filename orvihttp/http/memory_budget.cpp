#include "orvihttp/http/memory_budget.h"

#include <atomic>

namespace {

std::atomic<std::size_t> budget{kDefaultMemoryBudget};
std::atomic<std::size_t> reserved{0};

}  // namespace

bool ReserveMemory(std::size_t bytes) {
  const std::size_t limit = budget.load(std::memory_order_relaxed);
  std::size_t now = reserved.load(std::memory_order_relaxed);
  do {
    if (bytes > limit || now > limit - bytes) return false;
  } while (!reserved.compare_exchange_weak(now, now + bytes, std::memory_order_relaxed));
  return true;
}

void ReleaseMemory(std::size_t bytes) {
  reserved.fetch_sub(bytes, std::memory_order_relaxed);
}

std::size_t ReservedMemory() {
  return reserved.load(std::memory_order_relaxed);
}

void SetMemoryBudgetForTesting(std::size_t bytes) {
  budget.store(bytes, std::memory_order_relaxed);
}

bool MemoryReservation::Reserve(std::size_t bytes) {
  Release();
  if (!ReserveMemory(bytes)) return false;
  bytes_ = bytes;
  return true;
}

void MemoryReservation::Release() {
  if (bytes_ != 0) ReleaseMemory(bytes_);
  bytes_ = 0;
}
