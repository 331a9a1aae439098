#include "directory_listing.h"

#include "folder_reader.h"
#include "util.h"

DirectoryListing::DirectoryListing(const std::string& dir, ListingsAhead* ahead) {
    const std::string searchPath = dir + "*.*";
    if (!ahead || !ahead->take(searchPath, entries_)) entries_ = platform::findEntries(searchPath);
    exact_.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) exact_.emplace(std::string_view(entries_[i].name), i);
}

const platform::DirEntry* DirectoryListing::find(std::string_view name) const {
    auto it = exact_.find(name);
    if (it != exact_.end()) return &entries_[it->second];
    if (!foldedBuilt_) {
        folded_.reserve(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            std::string key = entries_[i].name;
            folded_.emplace(lowerCase(key), i);  // the first in name order wins
        }
        foldedBuilt_ = true;
    }
    std::string key(name);
    auto folded = folded_.find(lowerCase(key));
    return folded == folded_.end() ? nullptr : &entries_[folded->second];
}
