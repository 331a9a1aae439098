// What the files of both systems do alike; the system calls are in
// file_<system>.cpp.
#include "file.h"

#include "cleanup_registry.h"
#include "file_shared.h"

namespace platform {

namespace {

// Reads the first block of `file` into `start`. True when that is all the
// reader will want: then `file` is closed. Otherwise it stays open in
// `start.file`, or with `closeAnyway` is closed all the same.
bool readFirstBlock(FileHandle file, FileStart& start, EnoughRead enough, bool closeAnyway) {
    start.size = 0;
    start.readError = Error{};
    start.file = file;
    bool done = true;
    if (readsAtOnce(start.file)) {
        const long n = readSome(start.file, start.bytes, FileStart::capacity, start.readError);
        if (n >= 0) {
            start.size = static_cast<std::size_t>(n);
            const std::size_t wanted = enough ? enough(start.bytes, start.size) : 0;
            if (wanted != 0 && wanted <= start.size) start.size = wanted;
            // A regular file gives less than asked for only at its end.
            done = wanted != 0 || start.size < FileStart::capacity;
        }
    }
    if (done || closeAnyway) closeFile(start.file);
    return done;
}

}  // namespace

bool fileExists(const std::string& path) {
    FileStatus s;
    return fileStatus(path, s);
}

AtomicFile::~AtomicFile() { discard(); }

Error AtomicFile::commit() {
    if (!stream_) return streamNotOpen;
    Error e = closeOnDisk(stream_);
    stream_ = nullptr;
    if (!e) e = replaceHostFile(temporary_, target_);
    if (e) removeHostFile(temporary_);
    temporary_.clear();
    forgetFile(slot_);
    slot_ = -1;
    return e;
}

void AtomicFile::discard() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temporary_.empty()) {
        removeHostFile(temporary_);
        temporary_.clear();
    }
    forgetFile(slot_);
    slot_ = -1;
}

bool openStart(const std::string& path, FileStart& start, EnoughRead enough) {
    const FileHandle file = openForReading(path);
    if (!file.isOpen()) return false;
    readFirstBlock(file, start, enough, false);
    return true;
}

bool readWholeStart(const std::string& path, FileStart& start, EnoughRead enough) {
    const FileHandle file = openForReading(path);
    // A failed read is no start at all: the caller reads the file again.
    return file.isOpen() && readFirstBlock(file, start, enough, true) && !start.readError;
}

}  // namespace platform
