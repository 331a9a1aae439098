// What an interrupt or any other end of the run must clean up, kept where
// a signal handler (or Windows's handler thread) can read it without locks
// or the heap: the temporaries of unpublished rewrites and every other
// temporary file the program made, its private directories (a restore's
// staging folder), and the program it is waiting for.
// Private to the platform layer.
#pragma once

#include "signals.h"

#include <cstdint>
#include <string>

#ifndef _WIN32
#include <csignal>
#endif

namespace platform {

// Held while a file is made or a program started and entered in the
// registry: either it is there before the handler looks, or it was never
// made. POSIX blocks the four interrupts in this thread meanwhile; Windows
// takes the guard that its handler takes for good.
class InterruptsHeldOff {
public:
    InterruptsHeldOff();
    ~InterruptsHeldOff();
    InterruptsHeldOff(const InterruptsHeldOff&) = delete;
    InterruptsHeldOff& operator=(const InterruptsHeldOff&) = delete;
#ifndef _WIN32
    // The thread's mask from before, for a program that is to start with it.
    const sigset_t& previousMask() const { return saved_; }

private:
    sigset_t saved_;
#endif
};

// Remembers a host path; its slot, or -1 when it cannot be remembered
// (too long, or every slot taken). Call with interrupts held off.
int rememberFile(const std::string& hostPath);
void forgetFile(int slot);
// The slot of a remembered path, or -1.
int slotOfFile(const std::string& hostPath);

// The same for a directory of the program's own, removed with whatever it
// holds.
int rememberDirectory(const std::string& hostPath);
void forgetDirectory(int slot);

// The running zip or unzip: a process id on POSIX, a process handle on
// Windows; 0 when none runs.
void setRunningChild(std::intptr_t child);
std::intptr_t runningChild();

// Passes the interrupt on to the running child, gives it time to clean up
// after itself (zip removes its temporary archive) and ends one that does
// not stop; defined with the programs.
void stopRunningChild(Signal which);

}  // namespace platform
