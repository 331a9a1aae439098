// One directory's entries, listed once and looked up by name. The scan and
// the index reader share it so that no file is asked for its status twice
// and no name look-up walks the whole folder.
#pragma once

#include "platform.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class ListingsAhead;

class DirectoryListing {
public:
    // Lists every entry of `dir` (a path ending in "/"), in name order
    // ignoring case, or takes that listing from `ahead`. An unreadable
    // directory gives an empty listing.
    explicit DirectoryListing(const std::string& dir, ListingsAhead* ahead = nullptr);
    // The look-up holds views of the entries' names.
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;

    const std::vector<platform::DirEntry>& entries() const { return entries_; }
    // The entry named `name`: the exact spelling when present, else one
    // that differs only in letter case, as the file system's own look-up
    // would find it. Null when there is none.
    const platform::DirEntry* find(std::string_view name) const;

private:
    std::vector<platform::DirEntry> entries_;
    std::unordered_map<std::string_view, std::size_t> exact_;
    // Built at the first look-up that misses the exact spelling: most
    // never do.
    mutable std::unordered_map<std::string, std::size_t> folded_;
    mutable bool foldedBuilt_ = false;
};
