// Locks that say which process owns a file: held by an open file of the
// process, so the operating system lets go of them when it ends, however it
// ends (a kill -9 included). A lock file left behind by a killed process
// therefore never blocks the next one.
//
// A lock file is removed by its holder before the lock is let go (every end
// of the run removes it through the cleanup registry). Whoever had opened
// the file just before it was removed finds, after locking, that the name
// now leads elsewhere, and starts again on the new file.
#pragma once

#include "file.h"

#include <cstdint>
#include <string>

namespace platform {

enum class LockOutcome {
    taken,  // ours until releaseLock or the end of the process
    held,   // another process holds it
    failed  // the file could not be created, opened or locked
};

struct FileLock {
    FileHandle file;
    std::string hostPath;
    int slot = -1;  // its place in the cleanup registry
};

// Takes the lock of the file at `path`, creating the file when it is
// absent, and writes `holderText` into it for whoever finds it held. Never
// waits. With `held`, `otherHolder` is what the holder wrote (empty when it
// has written nothing yet); with `failed`, `error` says why.
LockOutcome takeLock(const std::string& path, const std::string& holderText, FileLock& lock,
                     std::string& otherHolder, Error& error);
// Removes the lock file, then lets go of the lock.
void releaseLock(FileLock& lock);

// What tells one file from another on the same machine: the device and
// inode (the volume and file index on Windows), with the size and the
// modification time.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::int64_t size = 0;
    std::int64_t modifyTime = 0;  // nanoseconds where the system has them
    bool operator==(const FileIdentity& other) const {
        return device == other.device && file == other.file && size == other.size &&
               modifyTime == other.modifyTime;
    }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};
bool fileIdentity(const std::string& path, FileIdentity& identity);

// Claims `path`: creates it only when nothing is there, with `bytes` as
// its content, in one step that no other process can come between. Error
// 0 when made; `exists` is true when something was there already. The file
// is in the cleanup registry, `slot`, until keepClaimedFile: every end of
// the run before that removes it.
Error claimFile(const std::string& path, const std::string& bytes, bool& exists, int& slot);
void keepClaimedFile(int slot);

}  // namespace platform
