// attfix's system calls on Windows. Names go to the "A" functions as the
// bytes they are, in the ANSI code page, as the client wrote them.
#include "attfix_file.h"

#include "attfix_file_shared.h"

#include <windows.h>

#include <cerrno>

namespace attfix {

namespace {

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE handleOf(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// The reason of the last failed call in the C runtime's words, as on POSIX.
int systemFailure() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_INVALID_NAME: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT: return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        default: return EIO;
    }
}

int resultOf(BOOL ok) { return ok ? 0 : systemFailure(); }

}  // namespace

std::intptr_t createTruncated(const char* name) {
    HANDLE h = CreateFileA(name, GENERIC_WRITE, shareAll, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? noFile : reinterpret_cast<std::intptr_t>(h);
}

int readBytes(std::intptr_t file, char* buffer, std::size_t size, std::size_t& got) {
    const DWORD ask = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD count = 0;
    if (!ReadFile(handleOf(file), buffer, ask, &count, nullptr)) return systemFailure();
    got = count;
    return 0;
}

int writeBytes(std::intptr_t file, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD ask = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handleOf(file), data, ask, &written, nullptr)) return systemFailure();
        data += written;
        size -= written;
    }
    return 0;
}

int syncToDisk(std::intptr_t file) { return resultOf(FlushFileBuffers(handleOf(file))); }

int closeFile(std::intptr_t file) { return resultOf(CloseHandle(handleOf(file))); }

int renameOver(const std::string& from, const std::string& to) {
    return resultOf(MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

bool InputFile::open(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        noteFailure(EISDIR);
        return false;
    }
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        noteFailure(systemFailure());
        return false;
    }
    // A device (CON, NUL, a named pipe) could hold the program or has no
    // message in it: only a disk file is taken.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        noteFailure(EINVAL);
        CloseHandle(h);
        return false;
    }
    file_ = reinterpret_cast<std::intptr_t>(h);
    buffer_.resize(65536);
    return true;
}

bool InputFile::isSameFileAs(const std::string& path) const {
    HANDLE other = CreateFileA(path.c_str(), 0, shareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (other == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION mine, theirs;
    const bool same = GetFileInformationByHandle(handleOf(file_), &mine) &&
                      GetFileInformationByHandle(other, &theirs) &&
                      mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
                      mine.nFileIndexHigh == theirs.nFileIndexHigh && mine.nFileIndexLow == theirs.nFileIndexLow;
    CloseHandle(other);
    return same;
}

bool OutputFile::create(const std::string& path, const InputFile& like) {
    // The copy takes the place of the message, so it keeps the message's
    // attributes (hidden, archive), but not read-only: it must still be
    // written, and renamed over the message.
    BY_HANDLE_FILE_INFORMATION info;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (GetFileInformationByHandle(handleOf(like.handle()), &info))
        attributes = info.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM);
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, shareAll, nullptr, CREATE_ALWAYS, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        noteFailure(systemFailure());
        return false;
    }
    file_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

void removeFile(const std::string& path) { DeleteFileA(path.c_str()); }

}  // namespace attfix
