#include "directory.h"

#include "directory_shared.h"

#include <algorithm>

namespace platform {

// Neither system promises an order: FAT and network drives list in none,
// POSIX directories in that of their hash or their history.
std::vector<DirEntry> findEntries(const std::string& searchPath) {
    std::vector<DirEntry> entries = listEntries(searchPath);
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return lessIgnoringCase(a.name, b.name); });
    return entries;
}

}  // namespace platform
