#include "console.h"

#include "console_shared.h"

namespace platform {

int readKey() {
    if (!standardInputIsTerminal()) return readOneByte();
    return readConsoleKey();
}

}  // namespace platform
