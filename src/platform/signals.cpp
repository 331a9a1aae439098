// What an interrupt does on every system; each system's twin catches the
// signals and calls handleInterrupt.
#include "signals.h"

#include "cleanup_registry.h"
#include "signals_shared.h"

namespace platform {

namespace {

// Set while the run starts, before anything can interrupt it.
InterruptHandler installedHandlers[4];

InterruptHandler& handlerOf(Signal which) { return installedHandlers[static_cast<int>(which)]; }

}  // namespace

bool installSignalHandler(Signal which, InterruptHandler handler) {
    handlerOf(which) = handler;
    return catchSignal(which);
}

bool interruptHandled(Signal which) { return handlerOf(which) != nullptr; }

void handleInterrupt(Signal which) {
    stopRunningChild(which);
    removeRegisteredFiles();
    if (InterruptHandler handler = handlerOf(which)) handler(which);
}

}  // namespace platform
