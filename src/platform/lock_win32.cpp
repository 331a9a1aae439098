#include "lock.h"

#include "cleanup_registry.h"
#include "lock_shared.h"
#include "win32_shared.h"

namespace platform {

namespace {

// The lock covers one byte far beyond the text, so that whoever finds it
// held can still read who holds it.
constexpr DWORD lockOffsetHigh = 0x40000000;

// A file whose holder removed it stays, "delete pending", until its last
// handle closes; meanwhile it cannot be opened.
bool deletePending(HANDLE h) {
    FILE_STANDARD_INFO info{};
    return GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info) && info.DeletePending;
}

std::string readHolder(HANDLE h) {
    char text[512];
    DWORD got = 0;
    OVERLAPPED at{};
    if (!ReadFile(h, text, sizeof text, &got, &at)) return std::string();
    return std::string(text, got);
}

}  // namespace

const Error lockKeptChanging{ERROR_SHARING_VIOLATION};

std::string lockFilePath(const std::string& path) { return hostForm(path); }

Error writeLockHolder(FileHandle file, const std::string& text) {
    HANDLE h = reinterpret_cast<HANDLE>(file.value);
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(h, start, nullptr, FILE_BEGIN) || !SetEndOfFile(h)) return lastError();
    DWORD written = 0;
    if (!WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return lastError();
    return written == text.size() ? Error{} : Error{ERROR_WRITE_FAULT};
}

LockTry tryLock(const std::string& host, FileHandle& file, int& slot, std::string& otherHolder, Error& error) {
    bool again = false;
    {
        InterruptsHeldOff held;
        HANDLE h = CreateFileA(host.c_str(), GENERIC_READ | GENERIC_WRITE, shareAll, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = lastError();
            // Most likely removed by its holder a moment ago.
            if (error.number != ERROR_ACCESS_DENIED) return LockTry::failed;
            again = true;
        } else {
            OVERLAPPED at{};
            at.OffsetHigh = lockOffsetHigh;
            if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
                const Error failure = lastError();
                const bool heldByOther = failure.number == ERROR_LOCK_VIOLATION || failure.number == ERROR_IO_PENDING;
                if (heldByOther) otherHolder = readHolder(h);
                CloseHandle(h);
                if (heldByOther) return LockTry::held;
                error = failure;
                return LockTry::failed;
            }
            if (deletePending(h)) {
                CloseHandle(h);
                again = true;
            } else {
                file = FileHandle{reinterpret_cast<std::intptr_t>(h)};
                slot = rememberFile(host);
            }
        }
    }
    if (!again) return LockTry::locked;
    // The removed file goes when its holder's last handle closes.
    Sleep(20);
    return LockTry::again;
}

bool fileIdentity(const std::string& path, FileIdentity& identity) {
    HANDLE h = CreateFileA(hostForm(path).c_str(), FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok) return false;
    identity.device = info.dwVolumeSerialNumber;
    identity.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.size = static_cast<std::int64_t>((static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    identity.modifyTime = static_cast<std::int64_t>(
        (static_cast<ULONGLONG>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime);
    return true;
}

Error claimFile(const std::string& path, const std::string& bytes, bool& exists, int& slot) {
    exists = false;
    const std::string host = hostForm(path);
    HANDLE h = createRememberedFile(host, slot);
    if (h == INVALID_HANDLE_VALUE) {
        const Error failure = lastError();
        exists = failure.number == ERROR_FILE_EXISTS || failure.number == ERROR_ALREADY_EXISTS;
        return failure;
    }
    DWORD written = 0;
    const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    Error failure = ok ? Error{} : lastError();
    if (!CloseHandle(h) && !failure) failure = lastError();
    if (failure) {
        DeleteFileA(host.c_str());
        forgetFile(slot);
        slot = -1;
    }
    return failure;
}

}  // namespace platform
