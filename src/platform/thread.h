// Helper threads that leave signals to the main thread.
#pragma once

#include <functional>
#include <thread>

namespace platform {

// Starts `body` on `thread` so that interrupts keep reaching the main
// thread, whose handler cleans up (on POSIX the new thread blocks every
// signal). False when no thread could be started.
bool startQuietThread(std::thread& thread, std::function<void()> body);

}  // namespace platform
