#include "folder_index.h"

#include "diagnostics.h"
#include "index_file.h"
#include "platform.h"
#include "util.h"

#include <cerrno>

std::string joinStorePath(const std::string& dir, std::string_view name) {
    std::string path = dir;
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
    path += name;
    return path;
}

std::string_view fileNamePart(std::string_view path) {
    std::size_t start = path.size();
    while (start > 0 && path[start - 1] != '/' && path[start - 1] != '\\') --start;
    return path.substr(start);
}

std::string_view baseName(std::string_view path) {
    std::string_view name = fileNamePart(path);
    std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

BaseNameLookup::BaseNameLookup(LL* entries, bool ignoreCase) : ignoreCase_(ignoreCase) {
    byName_.reserve(static_cast<std::size_t>(CountLL(entries)));
    for (void* e = FirstLL(entries); SizeLL(e) != 0; e = NextLL(e)) add(static_cast<IndexEntry*>(e));
}

std::string BaseNameLookup::keyOf(std::string_view path) const {
    std::string key(baseName(path));
    if (ignoreCase_) lowerCase(key);
    return key;
}

void BaseNameLookup::add(IndexEntry* entry) {
    if (!entry->fileName) return;
    byName_[keyOf(entry->fileName)].entries.push_back(entry);
}

IndexEntry* BaseNameLookup::first(std::string_view path) const {
    auto it = byName_.find(keyOf(path));
    if (it == byName_.end() || it->second.taken == it->second.entries.size()) return nullptr;
    return it->second.entries[it->second.taken];
}

IndexEntry* BaseNameLookup::takeFirst(std::string_view path) {
    auto it = byName_.find(keyOf(path));
    if (it == byName_.end() || it->second.taken == it->second.entries.size()) return nullptr;
    return it->second.entries[it->second.taken++];
}

int replaceFolderIndex(const std::string& indexPath, LL* entries) {
    platform::AtomicFile file;
    if (platform::Error error = file.open(indexPath)) return error.number;
    for (void* e = FirstLL(entries); SizeLL(e) != 0; e = NextLL(e)) {
        IndexEntry& entry = *static_cast<IndexEntry*>(e);
        if (isDirectoryNode(entry)) continue;
        if (writeIndexLine(file.stream(), entry, false) != 0) {
            int error = errno != 0 ? errno : EIO;
            file.discard();
            return error;
        }
    }
    return file.commit().number;
}

bool insideFolder(const std::string& path) {
    std::string lower = path;
    lowerCase(lower);
    return lower.find(".fld") != std::string::npos;
}

int replaceWritableFolderIndex(const std::string& indexPath, LL* entries, int chmodWarning) {
    warnIfNotWritable(chmodWarning, platform::makeWritable(indexPath), indexPath.c_str());
    return replaceFolderIndex(indexPath, entries);
}

void warnIfNotWritable(int code, const platform::Error& denied, const char* path) {
    if (denied && !platform::isNotFound(denied))
        reportWarning(code, "CHMOD error [%d] on file [%s]", denied.number, path);
}
