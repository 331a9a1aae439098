// Shared by the lock files of the platform layer: each system opens, locks
// and writes the lock file its own way; the rest is done once.
#pragma once

#include "lock.h"

namespace platform {

// The lock file's path as the system's calls take it.
std::string lockFilePath(const std::string& path);

// One try at the lock of `host`, with interrupts held off until the file,
// once locked, is in the cleanup registry: an interrupt then removes a file
// this run locked, and never leaves one it made.
enum class LockTry {
    locked,  // `file` and `slot` hold it
    held,    // by another process, which wrote `otherHolder`
    failed,  // `error` says why
    again    // the file was removed by its holder meanwhile: try the new one
};
LockTry tryLock(const std::string& host, FileHandle& file, int& slot, std::string& otherHolder, Error& error);
// The failure when every try found the file just removed (EAGAIN,
// ERROR_SHARING_VIOLATION).
extern const Error lockKeptChanging;

// Replaces the content of the locked file by `text`.
Error writeLockHolder(FileHandle file, const std::string& text);

}  // namespace platform
