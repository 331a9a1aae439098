#include "file.h"

#include "cleanup_registry.h"
#include "file_shared.h"
#include "path.h"
#include "win32_shared.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace platform {

namespace {

// For callers that print errno after a failed open.
int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_NAME: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT: return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        default: return EIO;
    }
}

Error resultOf(BOOL ok) { return ok ? Error{} : lastError(); }

std::int64_t sizeOf(DWORD high, DWORD low) { return static_cast<std::int64_t>((static_cast<ULONGLONG>(high) << 32) | low); }

// A stream over a handle opened here: every opener shares deletion, so
// that an interrupt can remove what the main thread holds open.
std::FILE* streamOver(HANDLE h, int flags, const char* mode) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, mode);
    if (!stream) _close(fd);
    return stream;
}

}  // namespace

const Error streamNotOpen{ERROR_INVALID_HANDLE};

std::time_t timeOf(const FILETIME& when) {
    const ULONGLONG ticks = (static_cast<ULONGLONG>(when.dwHighDateTime) << 32) | when.dwLowDateTime;
    return static_cast<std::time_t>(ticks / 10000000ULL) - static_cast<std::time_t>(11644473600LL);
}

HANDLE createRememberedFile(const std::string& path, int& slot) {
    InterruptsHeldOff held;
    slot = -1;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, shareAll, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return h;
    slot = rememberFile(path);
    if (slot < 0) {
        // Unknown to the handler, it could outlive an interrupt.
        CloseHandle(h);
        DeleteFileA(path.c_str());
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

bool isNotFound(Error error) {
    switch (error.number) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_NAME: return true;
        default: return false;
    }
}

bool fileStatus(const std::string& path, FileStatus& status, Error* error) {
    const std::string host = hostForm(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(host.c_str(), GetFileExInfoStandard, &data)) {
        if (error) *error = lastError();
        return false;
    }
    DWORD attributes = data.dwFileAttributes;
    FILETIME created = data.ftCreationTime, written = data.ftLastWriteTime, accessed = data.ftLastAccessTime;
    std::int64_t size = sizeOf(data.nFileSizeHigh, data.nFileSizeLow);
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link: what it points to, as stat does.
        HANDLE h = CreateFileA(host.c_str(), 0, shareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        BY_HANDLE_FILE_INFORMATION info;
        const bool known = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        if (!known) {
            if (error) *error = Error{ERROR_FILE_NOT_FOUND};
            return false;
        }
        attributes = info.dwFileAttributes;
        created = info.ftCreationTime;
        written = info.ftLastWriteTime;
        accessed = info.ftLastAccessTime;
        size = sizeOf(info.nFileSizeHigh, info.nFileSizeLow);
    }
    status.isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.isRegular = !status.isDirectory && !(attributes & FILE_ATTRIBUTE_DEVICE);
    status.size = size;
    status.changeTime = timeOf(created);
    status.modifyTime = timeOf(written);
    status.accessTime = timeOf(accessed);
    return true;
}

// Writing honours text mode: lines end in CR LF unless "b" is given, as
// the Windows tools that read the report file and the list file expect.
// Reading always keeps the bytes: every reader takes CR LF and LF alike,
// and a text-mode read would end a file at its first Ctrl+Z byte.
std::FILE* openFile(const std::string& path, const char* mode) {
    const char kind = mode[0];
    const bool update = std::strchr(mode, '+') != nullptr;
    const bool binary = kind == 'r' || std::strchr(mode, 'b') != nullptr;
    DWORD access = update ? GENERIC_READ | GENERIC_WRITE : (kind == 'r' ? GENERIC_READ : GENERIC_WRITE);
    DWORD disposition = OPEN_EXISTING;
    int flags = update ? _O_RDWR : (kind == 'r' ? _O_RDONLY : _O_WRONLY);
    if (kind == 'w') {
        disposition = CREATE_ALWAYS;
    } else if (kind == 'a') {
        disposition = OPEN_ALWAYS;
        flags |= _O_APPEND;
    } else if (kind != 'r') {
        errno = EINVAL;
        return nullptr;
    }
    flags |= binary ? _O_BINARY : _O_TEXT;
    char streamMode[4] = {kind, 0, 0, 0};
    std::size_t n = 1;
    if (update) streamMode[n++] = '+';
    streamMode[n] = binary ? 'b' : 't';
    HANDLE h = CreateFileA(hostForm(path).c_str(), access, shareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = errnoOf(GetLastError());
        return nullptr;
    }
    return streamOver(h, flags, streamMode);
}

Error makeDirectory(const std::string& path) { return resultOf(CreateDirectoryA(hostForm(path).c_str(), nullptr)); }

Error removeFile(const std::string& path) { return resultOf(DeleteFileA(hostForm(path).c_str())); }

// As rename on POSIX: an existing target is replaced.
Error renameFile(const std::string& from, const std::string& to) {
    return resultOf(MoveFileExA(hostForm(from).c_str(), hostForm(to).c_str(), MOVEFILE_REPLACE_EXISTING));
}

// The system finds names without regard to case by itself.
Error renameSpelled(const std::string& from, const std::string& to) { return renameFile(from, to); }

Error makeWritable(const std::string& path) {
    const std::string host = hostForm(path);
    const DWORD attributes = GetFileAttributesA(host.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return lastError();
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return Error{};
    return resultOf(SetFileAttributesA(host.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)));
}

Error AtomicFile::open(const std::string& path) {
    discard();
    target_ = hostForm(path);
    const auto slash = target_.find_last_of('\\');
    const std::string dir = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string leaf = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    // A name that is taken already is passed over: the attempt counts on.
    HANDLE h = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%lx%lx", GetCurrentProcessId(),
                      static_cast<unsigned long>(attempt + GetTickCount() % 4096));
        temporary_ = dir + "." + leaf + suffix;
        h = createRememberedFile(temporary_, slot_);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (h == INVALID_HANDLE_VALUE) {
        const Error e = lastError();
        temporary_.clear();
        return e;
    }
    stream_ = streamOver(h, _O_WRONLY | _O_BINARY, "wb");
    if (!stream_) {
        const Error e = lastError();
        discard();
        return e;
    }
    return Error{};
}

Error PrivateDirectory::create(const std::string& parent) {
    remove();
    std::string base = hostForm(parent);
    if (!base.empty() && base.back() != '\\') base += '\\';
    base += ".archiver-";
    // A fresh name from the process and the clock; taken names are tried
    // again with the next number.
    const unsigned long long seed = (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "%06llx", (seed + attempt * 7919ULL) & 0xffffffULL);
        const std::string candidate = base + suffix;
        InterruptsHeldOff held;
        if (!CreateDirectoryA(candidate.c_str(), nullptr)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
            return lastError();
        }
        slot_ = rememberDirectory(candidate);
        if (slot_ < 0) {
            // Unknown to the handler, it could outlive an interrupt.
            RemoveDirectoryA(candidate.c_str());
            return Error{ERROR_TOO_MANY_OPEN_FILES};
        }
        path_ = candidate;
        return Error{};
    }
    return Error{ERROR_ALREADY_EXISTS};
}

// unzip.exe makes no links.
bool readLinkText(const std::string&, std::string&) { return false; }

long readSome(FileHandle file, char* buffer, std::size_t size, Error& error) {
    DWORD got = 0;
    const DWORD ask = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    if (ReadFile(reinterpret_cast<HANDLE>(file.value), buffer, ask, &got, nullptr)) return static_cast<long>(got);
    // A pipe whose writer is gone has simply ended.
    if (GetLastError() == ERROR_BROKEN_PIPE || GetLastError() == ERROR_HANDLE_EOF) return 0;
    error = lastError();
    return -1;
}

void closeFile(FileHandle& file) {
    if (file.isOpen()) CloseHandle(reinterpret_cast<HANDLE>(file.value));
    file.value = -1;
}

FileHandle handleOf(std::FILE* stream) {
    return FileHandle{stream ? static_cast<std::intptr_t>(_get_osfhandle(_fileno(stream))) : -1};
}

// The C runtime's stream calls leave no system error behind: a failed
// flush or close counts as a write fault.
Error closeOnDisk(std::FILE* stream) {
    Error e;
    if (std::fflush(stream) != 0) e = Error{ERROR_WRITE_FAULT};
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (!e && !FlushFileBuffers(h)) e = lastError();
    if (std::fclose(stream) != 0 && !e) e = Error{ERROR_WRITE_FAULT};
    return e;
}

Error replaceHostFile(const std::string& from, const std::string& to) {
    return resultOf(MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

void removeHostFile(const std::string& host) { DeleteFileA(host.c_str()); }

FileHandle openForReading(const std::string& path) {
    HANDLE h = CreateFileA(hostForm(path).c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return FileHandle{reinterpret_cast<std::intptr_t>(h)};
}

// A device or pipe named like a message is taken as empty at once.
bool readsAtOnce(FileHandle file) { return GetFileType(reinterpret_cast<HANDLE>(file.value)) == FILE_TYPE_DISK; }

}  // namespace platform
