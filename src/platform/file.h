// Files: status, open, remove, rename, write permission, safe rewrites,
// and reading a file from its start.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace platform {

// A failure as the operating system reports it: errno on POSIX,
// GetLastError() on Windows. 0 is success. Messages that show a failure
// print its number.
struct Error {
    int number = 0;
    explicit operator bool() const { return number != 0; }
};

// What removes a file or directory of the system's when it ends is never
// copied: the copies would remove it twice.
class NotCopyable {
public:
    NotCopyable() = default;
    NotCopyable(const NotCopyable&) = delete;
    NotCopyable& operator=(const NotCopyable&) = delete;
};

// The failure said that the file or one of its directories is not there.
bool isNotFound(Error error);

struct FileStatus {
    bool isDirectory = false;
    bool isRegular = false;
    std::int64_t size = 0;
    std::time_t changeTime = 0;  // creation on Windows, status change on POSIX
    std::time_t modifyTime = 0;
    std::time_t accessTime = 0;
};

// Fills `status` and returns true when something exists at `path`;
// otherwise returns false and sets `error` when given.
bool fileStatus(const std::string& path, FileStatus& status, Error* error = nullptr);
bool fileExists(const std::string& path);

// fopen on the resolved path; `mode` as for fopen ("b" keeps bytes as they
// are on every system).
std::FILE* openFile(const std::string& path, const char* mode);

Error makeDirectory(const std::string& path);
Error removeFile(const std::string& path);
Error renameFile(const std::string& from, const std::string& to);
// The same for paths already spelled as the file system has them (as
// resolvePath or a directory listing gives them), without looking each up
// again: a name that does not exist yet would cost a search of its whole
// directory, once per file moved into a large folder.
Error renameSpelled(const std::string& from, const std::string& to);
Error makeWritable(const std::string& path);  // adds the owner's write permission

// A directory of the program's own, made under a fresh name inside an
// existing one: a restore extracts messages into it and moves each into
// place whole. remove(), the destructor, an interrupt and any end of the
// run remove it with whatever it still holds (it is in the cleanup
// registry while it exists).
class PrivateDirectory : NotCopyable {
public:
    ~PrivateDirectory();

    // Makes ".archiver-" and a fresh suffix inside store path `parent`.
    Error create(const std::string& parent);
    // Its host path; empty when there is none.
    const std::string& path() const { return path_; }
    void remove();

private:
    std::string path_;
    int slot_ = -1;  // its place in the cleanup registry
};

// The text of the symbolic link at store path `path`; false when there is
// no link there (Windows: never one).
bool readLinkText(const std::string& path, std::string& text);

// Writes a new version of a file beside it and publishes it only on
// commit(), in one rename, so that readers see either the old file or the
// new one whole, never a half-written one. Without commit() the temporary
// file is removed and the old file stays as it was; an interrupt or any
// end of the run removes it too (it is in the cleanup registry while it
// exists).
class AtomicFile : NotCopyable {
public:
    ~AtomicFile();

    // Creates the temporary file in the directory of `path`.
    Error open(const std::string& path);
    std::FILE* stream() const { return stream_; }
    // Flushes, puts the data on the disk and renames over the target. On
    // failure the target is unchanged and the temporary file is gone.
    Error commit();
    void discard();

private:
    std::FILE* stream_ = nullptr;
    std::string target_;
    std::string temporary_;
    int slot_ = -1;  // its place in the cleanup registry
};

// An open file: a descriptor on POSIX, a HANDLE on Windows. Whoever holds
// one closes it with closeFile.
struct FileHandle {
    std::intptr_t value = -1;
    bool isOpen() const { return value != -1; }
};

// One read of up to `size` bytes: their count, 0 at the end, -1 with
// `error` set on a failure.
long readSome(FileHandle file, char* buffer, std::size_t size, Error& error);
void closeFile(FileHandle& file);  // and marks it closed
// The file under a fresh stream, for reading it without the stream's buffer.
FileHandle handleOf(std::FILE* stream);

// A file opened for reading, with its first bytes already read. Headers and
// index lines are read through this rather than through a stream: one read
// per block, and no second read to learn that a short file has ended.
struct FileStart {
    static constexpr std::size_t capacity = 4096;
    char bytes[capacity];
    std::size_t size = 0;  // bytes read so far
    // Open while more may follow `bytes`; whoever holds the start then
    // reads on from it and closes it. Closed once the file is done with.
    FileHandle file;
    Error readError;  // a read that failed after `size` bytes
};

// Tells from the first bytes of a file how many of them its reader will
// want at most (n of `size`, when it will want nothing beyond), or 0 when it
// may want more, so that the file can be closed at once and only those
// bytes be handed on. It may run on a reading thread, so it looks at
// nothing but the bytes.
using EnoughRead = std::size_t (*)(const char* bytes, std::size_t size);

// Opens `path` (found without regard to case, as openFile does) and reads
// its first block; the file is closed when that block ended it, or when
// `enough` says nothing more is wanted. False when it cannot be opened. A
// pipe or a device opened by mistake gives what it has at once instead of
// waiting.
bool openStart(const std::string& path, FileStart& start, EnoughRead enough = nullptr);
// As openStart, but never leaves the file open: true only when the first
// block is all the reader will want and was read without an error. For reading threads, which must hold
// no file while they wait.
bool readWholeStart(const std::string& path, FileStart& start, EnoughRead enough);

}  // namespace platform
