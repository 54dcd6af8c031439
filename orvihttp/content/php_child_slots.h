#pragma once

#include <cstdint>
#include <memory>

// How many PHP programs may run at once, process-wide. Each run holds a
// slot for as long as its child lives; a burst of requests to a slow script
// then waits for a free slot instead of starting a child per request.

// Four per processor core, at least four.
int DefaultPhpChildLimit();

class PhpChildSlot {
 public:
  ~PhpChildSlot();
  PhpChildSlot(const PhpChildSlot&) = delete;
  PhpChildSlot& operator=(const PhpChildSlot&) = delete;

 private:
  friend std::unique_ptr<PhpChildSlot> AcquirePhpChildSlot(uint32_t);
  PhpChildSlot() = default;
};

// A slot, waiting up to `milliseconds` for one to come free. Nothing when
// none did, or when the calling Thread is being stopped meanwhile.
std::unique_ptr<PhpChildSlot> AcquirePhpChildSlot(uint32_t milliseconds);

// For tests: the number of slots (0 or less: the default again).
void SetPhpChildLimitForTesting(int limit);
