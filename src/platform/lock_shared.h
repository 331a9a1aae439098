// Shared by the lock files of the platform layer: each system writes the
// holder's text its own way; the rest is done once.
#pragma once

#include "lock.h"

namespace platform {

// Replaces the content of the locked file by `text`.
Error writeLockHolder(FileHandle file, const std::string& text);
// A lock just taken on `file`: kept in `lock` with the holder's text
// written, or, when the text cannot be written, let go again (`failed`).
LockOutcome keepTakenLock(FileLock& lock, FileHandle file, const std::string& hostPath, int slot,
                          const std::string& holderText, Error& error);

}  // namespace platform
