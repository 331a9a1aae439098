// Shared by the thread files of the platform layer.
#pragma once

#include <functional>

namespace platform {

// Runs `start` so that a thread it starts leaves every signal to the main
// thread (on POSIX the starting thread blocks them all meanwhile, and the
// new thread inherits that); what `start` returns.
bool withSignalsLeftToMainThread(const std::function<bool()>& start);

}  // namespace platform
