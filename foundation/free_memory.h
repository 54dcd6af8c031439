#pragma once

// Hands memory that the allocator keeps after frees back to the system. The
// allocator keeps freed blocks for reuse, per thread on Linux, so after a
// burst of connections ends the process would otherwise stay at its peak.
// Takes a few milliseconds with a large heap: call it after bursts, not per
// request.
void ReturnFreeMemory();
