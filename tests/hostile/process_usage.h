#pragma once

#include <cstdint>
#include <vector>

// What the test process spends, where the platform tells it cheaply; -1 where
// it does not (Windows).
int ThreadCount();
// Resident memory in KiB.
int64_t ResidentKiB();
// CPU time of all threads so far, in milliseconds.
int64_t CpuMilliseconds();

// Takes every free descriptor below the process's limit, after first lowering
// that limit to `headroom` above the descriptors in use, so that the next
// accept fails; false where this cannot be done (Windows). Give back with
// ReleaseDescriptors.
bool ExhaustDescriptors(int headroom, std::vector<int>* taken);
// Closes what ExhaustDescriptors took and restores the limit.
void ReleaseDescriptors(std::vector<int>* taken);
// Closes one descriptor ExhaustDescriptors took, to make room for a client.
void CloseDescriptorForTest(int descriptor);
