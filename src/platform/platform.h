// The operating system, and nothing else: one header per concept, each
// with a *_posix.cpp and a *_win32.cpp beside it, chosen by the build, that
// hold only system calls; what both systems do alike is in the concept's
// portable .cpp, and what it asks of each system in its *_shared.h.
//
//   path.h       store paths, letter case, drive and current directory
//   file.h       status, open, remove, rename, safe rewrites, reading starts
//   lock.h       locks the system lets go of when a process ends; file identity
//   directory.h  wildcard search with attributes, sizes and times
//   programs.h   start and wait, command interpreter, temporaries, environment
//   console.h    keys without Enter
//   signals.h    interrupts and what their handler may do
//   thread.h     helper threads that leave signals to the main thread
//   clock.h      broken-down local time
#pragma once

#include "clock.h"
#include "console.h"
#include "directory.h"
#include "file.h"
#include "lock.h"
#include "path.h"
#include "programs.h"
#include "signals.h"
#include "thread.h"
