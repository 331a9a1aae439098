#include "thread.h"

#include "thread_shared.h"

#include <system_error>

namespace platform {

bool startQuietThread(std::thread& thread, std::function<void()> body) {
    return withSignalsLeftToMainThread([&] {
        try {
            thread = std::thread(std::move(body));
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    });
}

}  // namespace platform
