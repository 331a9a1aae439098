#include "store_lock.h"

#include "diagnostics.h"
#include "platform.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

const char* const storeLockName = "archiver.lck";
const char* const storeWaitVariable = "ARCHIVER_WAIT";

namespace {

// Held until the process ends, when the system lets go of it.
platform::FileLock storeLock;

// A day at most: a scheduled run must not hang on for ever behind a run
// that never ends.
constexpr long longestWait = 24L * 60 * 60;

long secondsToWait() {
    const char* value = platform::environmentValue(storeWaitVariable);
    if (!value || !*value) return 0;
    char* end = nullptr;
    const long seconds = std::strtol(value, &end, 10);
    if (*end != '\0' || seconds <= 0) return 0;
    return seconds > longestWait ? longestWait : seconds;
}

}  // namespace

void lockStore(const char* holderText) {
    const std::string lockPath = platform::currentDirectory() + platform::pathSeparator() + storeLockName;
    const long wait = secondsToWait();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(wait);
    bool announced = false;
    for (;;) {
        std::string other;
        platform::Error error;
        switch (platform::takeLock(storeLockName, holderText, storeLock, other, error)) {
            case platform::LockOutcome::taken: return;
            case platform::LockOutcome::failed:
                fatalError(1951, "Error [%d] creating the lock file %s", error.number, lockPath.c_str());
            case platform::LockOutcome::held: break;
        }
        if (std::chrono::steady_clock::now() >= giveUp) {
            if (other.empty()) other = "process not known yet";
            fatalError(1950, "Another run is working on this store (%s); lock file: %s", other.c_str(),
                       lockPath.c_str());
        }
        if (!announced) {
            consoleLinef("Waiting up to %ld seconds for another run to end", wait);
            announced = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
}
