#include "thread.h"

#include <system_error>

namespace platform {

// Nothing to hold off: console interrupts arrive on a thread of their own,
// and the C runtime's signals on the thread that raised them.
bool startQuietThread(std::thread& thread, std::function<void()> body) {
    try {
        thread = std::thread(std::move(body));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

}  // namespace platform
