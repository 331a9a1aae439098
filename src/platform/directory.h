// Directory search: the entries of a directory that match a DOS wildcard,
// with their attributes, sizes and times.
#pragma once

#include "names.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace platform {

enum : unsigned { attributeDirectory = 0x10 };

struct DirEntry {
    std::string name;
    unsigned attributes = 0;  // attributeDirectory for a directory
    // A symbolic link (or junction); the other fields describe what it
    // points to. A walk that follows linked directories can leave the tree
    // or go round in it.
    bool isLink = false;
    std::int64_t size = 0;
    std::time_t changeTime = 0;  // creation on Windows, status change on POSIX
    std::time_t modifyTime = 0;
    std::time_t accessTime = 0;
};

// All entries of the directory part of `searchPath` whose names match its
// last component, ordered by name without regard to case (ties by bytes).
// "." and ".." are included, as a find-first would return them. An empty
// result means nothing was found or the directory cannot be read.
std::vector<DirEntry> findEntries(const std::string& searchPath);

}  // namespace platform
