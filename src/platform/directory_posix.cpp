#include "directory.h"

#include "directory_shared.h"
#include "path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

std::vector<DirEntry> listEntries(const std::string& searchPath) {
    std::vector<DirEntry> entries;
    std::size_t cut = searchPath.find_last_of("/\\");
    std::string dirPart, pattern;
    if (cut == std::string::npos) {
        if (hasDrivePrefix(searchPath)) {
            dirPart = searchPath.substr(0, 2);
            pattern = searchPath.substr(2);
        } else {
            pattern = searchPath;
        }
    } else {
        dirPart = searchPath.substr(0, cut + 1);
        pattern = searchPath.substr(cut + 1);
    }
    std::string dir = dirPart.empty() ? std::string(".") : resolvePath(dirPart);
    if (dir.empty()) dir = ".";
    DIR* d = opendir(dir.c_str());
    if (!d) return entries;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        if (wildcardMatch(pattern, e->d_name)) names.emplace_back(e->d_name);
    }
    entries.reserve(names.size());
    // Each entry is asked for relative to the open directory: one status
    // call, and a second only for a link, instead of two walks of the
    // whole path per entry.
    const int dirFd = dirfd(d);
    for (auto& name : names) {
        DirEntry entry;
        struct stat st {};
        if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // vanished while we looked
        bool known = true;
        if (S_ISLNK(st.st_mode)) {
            entry.isLink = true;
            known = fstatat(dirFd, name.c_str(), &st, 0) == 0;  // a dangling link keeps no status
        }
        if (known) {
            if (S_ISDIR(st.st_mode)) entry.attributes |= attributeDirectory;
            entry.size = static_cast<std::int64_t>(st.st_size);
            entry.changeTime = st.st_ctime;
            entry.modifyTime = st.st_mtime;
            entry.accessTime = st.st_atime;
        }
        entry.name = std::move(name);
        entries.push_back(std::move(entry));
    }
    closedir(d);
    return entries;
}

}  // namespace platform
