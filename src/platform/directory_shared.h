// Shared by the directory files of the platform layer.
#pragma once

#include "directory.h"

namespace platform {

// The entries findEntries returns, in whatever order the system lists them.
std::vector<DirEntry> listEntries(const std::string& searchPath);

}  // namespace platform
