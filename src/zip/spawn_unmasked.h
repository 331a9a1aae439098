// Starting a program from a thread that blocks every signal.
//
// This talks to the operating system and belongs in src/platform, beside
// spawnAndWait; it lives here until the platform layer takes it over.
#pragma once

#include <string>
#include <vector>

namespace platform_pending {

// As platform::spawnAndWait, for a thread started with startQuietThread:
// the program gets an empty signal mask and the default handling of the
// signals the archiver catches, instead of the thread's blocked ones, so
// that an interrupt from the terminal ends it. The signal handler does not
// know of it (it stops only the program of the main thread): use it only
// for programs that write nothing.
int spawnAndWaitUnmasked(const std::string& path, const std::vector<std::string>& argv, int& error);

}  // namespace platform_pending
