// Shared by the console files of the platform layer.
#pragma once

namespace platform {

// One plain byte of standard input, without any translation; -1 at its end.
int readOneByte();
// One key from the console, without Enter and without echo.
int readConsoleKey();

}  // namespace platform
