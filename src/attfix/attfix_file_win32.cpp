// attfix's system calls on Windows. Names go to the "A" functions as the
// bytes they are, in the ANSI code page, as the client wrote them.
#include "attfix_file.h"

#include <windows.h>

#include <cerrno>

namespace attfix {

namespace {

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE handleOf(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// The reasons are told in the C runtime's words, as on POSIX.
void noteSystemFailure() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_INVALID_NAME: noteFailure(ENOENT); break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT: noteFailure(EACCES); break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: noteFailure(ENOSPC); break;
        default: noteFailure(EIO); break;
    }
}

bool writeAll(HANDLE h, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD ask = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(h, data, ask, &written, nullptr)) {
            noteSystemFailure();
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

void writeTraceFile(const char* name, const std::string& text) {
    HANDLE h = CreateFileA(name, GENERIC_WRITE, shareAll, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    writeAll(h, text.data(), text.size());
    CloseHandle(h);
}

InputFile::~InputFile() { close(); }

void InputFile::close() {
    if (file_ != -1) CloseHandle(handleOf(file_));
    file_ = -1;
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
        noteSystemFailure();
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

bool InputFile::fill() {
    if (injectedFailure("read")) return false;
    DWORD got = 0;
    if (!ReadFile(handleOf(file_), buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr)) {
        noteSystemFailure();
        return false;
    }
    start_ = 0;
    end_ = got;
    if (got == 0) atEnd_ = true;
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

OutputFile::~OutputFile() {
    if (file_ != -1) CloseHandle(handleOf(file_));
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
        noteSystemFailure();
        return false;
    }
    file_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

bool OutputFile::write(const std::string& bytes) {
    if (injectedFailure("write")) return false;
    return writeAll(handleOf(file_), bytes.data(), bytes.size());
}

bool OutputFile::finish() {
    bool ok = true;
    if (!FlushFileBuffers(handleOf(file_))) {
        noteSystemFailure();
        ok = false;
    }
    if (!CloseHandle(handleOf(file_)) && ok) {
        noteSystemFailure();
        ok = false;
    }
    file_ = -1;
    return ok;
}

bool replaceFile(const std::string& from, const std::string& to) {
    if (injectedFailure("rename")) return false;
    if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        noteSystemFailure();
        return false;
    }
    return true;
}

void removeFile(const std::string& path) { DeleteFileA(path.c_str()); }

}  // namespace attfix
