#include "thread_shared.h"

#include <csignal>
#include <pthread.h>

namespace platform {

bool withSignalsLeftToMainThread(const std::function<bool()>& start) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const bool started = start();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return started;
}

}  // namespace platform
