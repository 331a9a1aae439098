#include "directory_listing.h"

#include "util.h"

DirectoryListing::DirectoryListing(const std::string& dir) : entries_(platform::findEntries(dir + "*.*")) {
    exact_.reserve(entries_.size());
    folded_.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        exact_.emplace(entries_[i].name, i);
        std::string key = entries_[i].name;
        folded_.emplace(lowerCase(key), i);  // the first in name order wins
    }
}

const platform::DirEntry* DirectoryListing::find(std::string_view name) const {
    std::string key(name);
    auto it = exact_.find(key);
    if (it != exact_.end()) return &entries_[it->second];
    it = folded_.find(lowerCase(key));
    return it == folded_.end() ? nullptr : &entries_[it->second];
}
