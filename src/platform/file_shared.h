// Shared by the file files of the platform layer: what each system does
// with its own calls, for what file.cpp does once.
#pragma once

#include "file.h"

#include <cstdio>
#include <string>

namespace platform {

// The system's answer to a stream that is not open (EBADF,
// ERROR_INVALID_HANDLE).
extern const Error streamNotOpen;

// Opens `path` (found as openFile finds it) for reading its start. Not
// open when that fails.
FileHandle openForReading(const std::string& path);
// Whether a read of `file` returns at once with what there is. A pipe or
// device named like a message must not stop the run waiting for a writer:
// POSIX opens every file so that it never waits; on Windows only a disk
// file is read.
bool readsAtOnce(FileHandle file);

// Flushes `stream`, puts what it wrote on the disk and closes it, even
// after a failure: the first failure.
Error closeOnDisk(std::FILE* stream);
// Renames the host path `from` over `to`, in one step that survives a
// crash, as AtomicFile publishes.
Error replaceHostFile(const std::string& from, const std::string& to);
// Removes the file at a host path as it is: no look-up of other spellings.
void removeHostFile(const std::string& host);

}  // namespace platform
