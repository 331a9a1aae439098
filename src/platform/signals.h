// Interrupts: the handler of the run, and the few things it may do.
//
// Before the program's handler runs, the platform layer stops the running
// zip or unzip and removes every file in its cleanup registry (the
// temporaries of unpublished rewrites and every temporary file the program
// made). On POSIX the handler runs inside a signal handler; on Windows on a
// thread of the system's: either way it may use only the calls below.
#pragma once

#include <cstddef>

namespace platform {

enum class Signal { interrupt, breakKey, terminate, abort };
using InterruptHandler = void (*)(Signal which);

// Installs `handler` for `which` (SIGQUIT stands in for the break key on
// POSIX). False when the system refuses.
bool installSignalHandler(Signal which, InterruptHandler handler);

// Removes every file and directory of the cleanup registry. Safe inside
// the handler; the ending routine of the run calls it too.
void removeRegisteredFiles();

// Safe inside the handler: plain system calls, no heap, no locks.
void writeStandardErrorRaw(const char* text, std::size_t length);
void appendRaw(const char* path, const char* text, std::size_t length);
void unlinkRaw(const char* path);
// Removes the directory at host path `path` with what it holds (a few
// levels deep at most), never following a link out of it.
void removeDirectoryRaw(const char* path);
[[noreturn]] void exitImmediately(int status);

}  // namespace platform
