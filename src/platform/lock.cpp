// What the two systems' locks do alike.
#include "lock.h"

#include "cleanup_registry.h"
#include "lock_shared.h"

namespace platform {

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

void releaseLock(FileLock& lock) {
    if (!lock.file.isOpen()) return;
    forgetFile(lock.slot);
    lock.slot = -1;
    removeFile(lock.hostPath);  // removed while still held: see lock.h
    closeFile(lock.file);
}

void keepClaimedFile(int slot) { forgetFile(slot); }

}  // namespace platform
