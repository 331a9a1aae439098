// What the two systems' locks do alike.
#include "lock.h"

#include "cleanup_registry.h"
#include "lock_shared.h"

namespace platform {

namespace {

// The lock file may be removed and made anew between our open and our
// lock; a handful of such turns is all that can happen in practice.
constexpr int lockAttempts = 64;

// A lock just taken on `file`: kept in `lock` with the holder's text
// written, or, when the text cannot be written, let go again (`failed`).
LockOutcome keepTakenLock(FileLock& lock, FileHandle file, const std::string& hostPath, int slot,
                          const std::string& holderText, Error& error) {
    lock.file = file;
    lock.hostPath = hostPath;
    lock.slot = slot;
    error = writeLockHolder(file, holderText);
    if (!error) return LockOutcome::taken;
    releaseLock(lock);
    return LockOutcome::failed;
}

}  // namespace

LockOutcome takeLock(const std::string& path, const std::string& holderText, FileLock& lock,
                     std::string& otherHolder, Error& error) {
    const std::string host = lockFilePath(path);
    for (int attempt = 0; attempt < lockAttempts; ++attempt) {
        FileHandle file;
        int slot = -1;
        switch (tryLock(host, file, slot, otherHolder, error)) {
            case LockTry::locked: return keepTakenLock(lock, file, host, slot, holderText, error);
            case LockTry::held: return LockOutcome::held;
            case LockTry::failed: return LockOutcome::failed;
            case LockTry::again: break;
        }
    }
    error = lockKeptChanging;
    return LockOutcome::failed;
}

void releaseLock(FileLock& lock) {
    if (!lock.file.isOpen()) return;
    forgetFile(lock.slot);
    lock.slot = -1;
    removeFile(lock.hostPath);  // removed while still held: see lock.h
    closeFile(lock.file);
}

void keepClaimedFile(int slot) { forgetFile(slot); }

}  // namespace platform
