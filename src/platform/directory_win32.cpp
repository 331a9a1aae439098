#include "directory.h"

#include "directory_shared.h"
#include "win32_shared.h"

namespace platform {

// The system's own search: its wildcard matching (which, like the client's,
// also looks at short 8.3 names), attributes with the directory bit 0x10,
// sizes and the three times, all in one call per entry.
std::vector<DirEntry> listEntries(const std::string& searchPath) {
    std::vector<DirEntry> entries;
    const std::string host = hostForm(searchPath);
    const auto cut = host.find_last_of('\\');
    const std::string dir = cut == std::string::npos ? std::string() : host.substr(0, cut + 1);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileExA(host.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        DirEntry entry;
        entry.name = found.cFileName;
        DWORD attributes = found.dwFileAttributes;
        FILETIME created = found.ftCreationTime, written = found.ftLastWriteTime, accessed = found.ftLastAccessTime;
        ULONGLONG size = (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK || found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT)) {
            // A link or junction: described by what it points to, as on POSIX.
            entry.isLink = true;
            HANDLE h = CreateFileA((dir + entry.name).c_str(), 0, shareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            BY_HANDLE_FILE_INFORMATION info;
            if (h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info)) {
                attributes = info.dwFileAttributes;
                created = info.ftCreationTime;
                written = info.ftLastWriteTime;
                accessed = info.ftLastAccessTime;
                size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
            } else {
                attributes = 0;  // a dangling link keeps no status
                created = written = accessed = FILETIME{};
                size = 0;
            }
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) entry.attributes |= attributeDirectory;
        if (attributes != 0 || !entry.isLink) {
            entry.size = static_cast<std::int64_t>(size);
            entry.changeTime = timeOf(created);
            entry.modifyTime = timeOf(written);
            entry.accessTime = timeOf(accessed);
        }
        entries.push_back(std::move(entry));
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return entries;
}

}  // namespace platform
