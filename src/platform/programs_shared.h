// Shared by the program files of the platform layer: each system starts a
// program and waits for it its own way; the entry points are done once.
#pragma once

#include "programs.h"

namespace platform {

// The thread that starts a program, which decides how an interrupt
// reaches it.
enum class StartedFrom {
    // The main thread: the child is the cleanup registry's running child
    // while it runs, so that an interrupt passes on to it and waits for it.
    mainThread,
    // A helper thread (startQuietThread): the child starts as from a fresh
    // process, so that an interrupt from the terminal ends it, and the
    // handler does not wait for it.
    helperThread
};

// Starts the program at `path` with exactly `argv` and waits for it, as
// spawnAndWait says.
int startAndWait(StartedFrom from, const std::string& path, const std::vector<std::string>& argv, Error& error);

}  // namespace platform
