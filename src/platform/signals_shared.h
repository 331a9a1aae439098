// Shared by the interrupt files of the platform layer: each system catches
// its signals its own way; what an interrupt then does is done once.
#pragma once

#include "signals.h"

namespace platform {

// Has the system call handleInterrupt for `which` from now on. False when
// it refuses.
bool catchSignal(Signal which);

// What every interrupt does, on whatever thread the system runs it: stops
// the running zip or unzip, removes the files of the cleanup registry and
// calls the program's handler for `which`.
void handleInterrupt(Signal which);

// Whether the program has a handler for `which`.
bool interruptHandled(Signal which);

}  // namespace platform
