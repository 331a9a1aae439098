#include "thread.h"

#include <csignal>
#include <pthread.h>
#include <system_error>

namespace platform {

bool startQuietThread(std::thread& thread, std::function<void()> body) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    bool started = true;
    try {
        thread = std::thread(std::move(body));
    } catch (const std::system_error&) {
        started = false;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return started;
}

}  // namespace platform
