// Shared by the POSIX files of the platform layer.
#pragma once

#include "signals.h"

#include <string>
#include <vector>

namespace platform {

// Separators become "/", a drive prefix names the root, doubled
// separators collapse; no case resolution.
std::string hostForm(const std::string& path);
// Resolves a host-form path component by component without regard to
// case; an exact path that exists costs one lstat.
std::string resolveHost(const std::string& host);

// mkstemp on `pattern` (NUL-terminated, changed in place) with interrupts
// held off, so that the file is in the cleanup registry from the moment it
// exists. The descriptor, or -1 with errno set; `slot` is its registry
// place (-1 when the registry is full: the file then is removed again).
int createRememberedFile(std::vector<char>& pattern, int& slot);

// The signal that stands for `which` (SIGQUIT for the break key).
int signalNumber(Signal which);

}  // namespace platform
