#pragma once

// A thread that serves many clients in turn (a pool's worker) must not keep
// the others waiting while one of them blocks: it registers a hook, which
// every wait that may block for long calls first, so that the pool can let
// another thread take over. Threads without a hook lose nothing.
using BlockingWaitHook = void (*)(void* context);

// Sets or (with null) clears the calling thread's hook.
void SetBlockingWaitHook(BlockingWaitHook hook, void* context);
// Calls the calling thread's hook, if any.
void NoteBlockingWait();
