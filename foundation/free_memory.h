#pragma once

// Hands memory that the allocator keeps after frees back to the system. The
// allocator keeps freed blocks for reuse, per thread on Linux, so after a
// burst of connections ends the process would otherwise stay at its peak.
// Takes a few milliseconds with a large heap: call it after bursts, not per
// request.
void ReturnFreeMemory();

// Keeps the allocator to a few memory pools, one per processor, instead of
// up to eight per processor. With many connection threads, each pool keeps
// its own remains after a burst, which only adds up to memory that never goes
// back; one pool per processor costs little speed. Call it before threads
// start.
void LimitMemoryPools();
