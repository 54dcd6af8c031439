#pragma once

#include <cstddef>

// One process-wide allowance for the bytes the server holds on behalf of
// clients (request bodies, buffered script output), so that many clients
// together cannot take more memory than the host can spare. Any thread.

inline constexpr std::size_t kDefaultMemoryBudget = 64 * 1024 * 1024;

// Takes `bytes` from the allowance; false (and nothing taken) when that
// would go past it.
bool ReserveMemory(std::size_t bytes);
// Gives back what a ReserveMemory took.
void ReleaseMemory(std::size_t bytes);
// Bytes taken now.
std::size_t ReservedMemory();
// Tests only: a smaller allowance so that going past it is cheap to show.
void SetMemoryBudgetForTesting(std::size_t bytes);

// Holds a reservation for as long as it lives.
class MemoryReservation {
 public:
  MemoryReservation() = default;
  ~MemoryReservation() { Release(); }
  MemoryReservation(const MemoryReservation&) = delete;
  MemoryReservation& operator=(const MemoryReservation&) = delete;

  // Replaces what it held by `bytes`; false when the allowance has no room.
  bool Reserve(std::size_t bytes);
  void Release();
  std::size_t Size() const { return bytes_; }

 private:
  std::size_t bytes_ = 0;
};
