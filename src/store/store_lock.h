// One run per store: a run owns the client's main directory from before it
// reads anything until it ends. A second run is refused at once, or, when
// asked to, waits a bounded time for the first to end.
#pragma once

// The lock file, in the main directory.
extern const char* const storeLockName;
// The environment variable that asks a run to wait up to that many seconds
// for the store instead of being refused (the scheduled runs set it).
extern const char* const storeWaitVariable;

// Takes the store's lock in the current directory (the main directory), or
// ends the run with a numbered error. `holderText` is what another run
// that finds it held is told of this one (process and start).
void lockStore(const char* holderText);
