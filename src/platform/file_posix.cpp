#include "file.h"

#include "cleanup_registry.h"
#include "file_shared.h"
#include "path.h"
#include "posix_shared.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

Error lastError() { return Error{errno}; }
Error resultOf(int rc) { return rc == 0 ? Error{} : lastError(); }

void fillStatus(const struct stat& st, FileStatus& status) {
    status.isDirectory = S_ISDIR(st.st_mode);
    status.isRegular = S_ISREG(st.st_mode);
    status.size = static_cast<std::int64_t>(st.st_size);
    status.changeTime = st.st_ctime;
    status.modifyTime = st.st_mtime;
    status.accessTime = st.st_atime;
}

// O_NONBLOCK: a pipe or device named like a message must not stop the run
// waiting for a writer; on a regular file it changes nothing.
constexpr int readingFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;

}  // namespace

const Error streamNotOpen{EBADF};

int createRememberedFile(std::vector<char>& pattern, int& slot) {
    int fd = -1;
    int error = 0;
    {
        InterruptsHeldOff held;
        fd = mkstemp(pattern.data());
        error = errno;
        slot = -1;
        if (fd >= 0) {
            slot = rememberFile(pattern.data());
            if (slot < 0) {
                // Unknown to the handler, it could outlive an interrupt.
                close(fd);
                unlink(pattern.data());
                fd = -1;
                error = EMFILE;
            }
        }
    }
    errno = error;
    return fd;
}

bool isNotFound(Error error) { return error.number == ENOENT || error.number == ENOTDIR; }

bool fileStatus(const std::string& path, FileStatus& status, Error* error) {
    struct stat st {};
    if (stat(resolvePath(path).c_str(), &st) != 0) {
        if (error) *error = lastError();
        return false;
    }
    fillStatus(st, status);
    return true;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    char hostMode[8] = {0};
    std::size_t n = 0;
    for (const char* m = mode; *m && n + 1 < sizeof hostMode; ++m)
        if (*m != 'b' && *m != 't') hostMode[n++] = *m;
    std::string host = hostForm(path);
    if (std::strcmp(hostMode, "r") == 0) {
        if (std::FILE* file = std::fopen(host.c_str(), hostMode)) return file;
    }
    return std::fopen(resolveHost(host).c_str(), hostMode);
}

Error makeDirectory(const std::string& path) { return resultOf(mkdir(resolvePath(path).c_str(), 0777)); }

Error removeFile(const std::string& path) { return resultOf(unlink(resolvePath(path).c_str())); }

Error renameFile(const std::string& from, const std::string& to) {
    return resultOf(std::rename(resolvePath(from).c_str(), resolvePath(to).c_str()));
}

Error renameSpelled(const std::string& from, const std::string& to) {
    return resultOf(std::rename(from.c_str(), to.c_str()));
}

Error makeWritable(const std::string& path) {
    std::string host = resolvePath(path);
    struct stat st {};
    if (stat(host.c_str(), &st) != 0) return lastError();
    // A change of mode is a write to the file system's journal: a delete
    // run over a large store would pay one per message for nothing.
    if (st.st_mode & S_IWUSR) return Error{};
    return resultOf(chmod(host.c_str(), st.st_mode | S_IWUSR));
}

Error PrivateDirectory::create(const std::string& parent) {
    remove();
    std::string pattern = resolvePath(parent);
    if (!pattern.empty() && pattern.back() != '/') pattern += '/';
    pattern += ".archiver-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    InterruptsHeldOff held;
    if (!mkdtemp(buf.data())) return lastError();
    slot_ = rememberDirectory(buf.data());
    if (slot_ < 0) {
        // Unknown to the handler, it could outlive an interrupt.
        rmdir(buf.data());
        return Error{EMFILE};
    }
    path_ = buf.data();
    return Error{};
}

bool readLinkText(const std::string& path, std::string& text) {
    const std::string host = resolvePath(path);
    struct stat st {};
    if (lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
    // A link's size is the length of its text; one more byte tells that
    // it did not grow in between.
    std::vector<char> buffer(static_cast<std::size_t>(st.st_size) + 1);
    const ssize_t n = readlink(host.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) return false;
    text.assign(buffer.data(), static_cast<std::size_t>(n));
    return true;
}

Error AtomicFile::open(const std::string& path) {
    discard();
    target_ = resolvePath(path);
    auto slash = target_.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    std::string leaf = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::string pattern = dir + "." + leaf + ".XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = createRememberedFile(buf, slot_);
    if (fd < 0) return lastError();
    temporary_ = buf.data();
    // Keep the permissions of the file we replace, or the usual ones.
    struct stat st {};
    mode_t mode = 0666 & ~[] { mode_t m = umask(0); umask(m); return m; }();
    if (stat(target_.c_str(), &st) == 0) mode = st.st_mode & 07777;
    fchmod(fd, mode);
    stream_ = fdopen(fd, "w");
    if (!stream_) {
        Error e = lastError();
        close(fd);
        discard();
        return e;
    }
    return Error{};
}

long readSome(FileHandle file, char* buffer, std::size_t size, Error& error) {
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(file.value), buffer, size);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        // A pipe opened without waiting has nothing yet: that is its end here.
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        error = lastError();
        if (!error) error = Error{EIO};
        return -1;
    }
}

void closeFile(FileHandle& file) {
    if (file.isOpen()) ::close(static_cast<int>(file.value));
    file.value = -1;
}

FileHandle handleOf(std::FILE* stream) { return FileHandle{stream ? fileno(stream) : -1}; }

Error closeOnDisk(std::FILE* stream) {
    Error e;
    if (std::fflush(stream) != 0) e = lastError();
    if (!e && fsync(fileno(stream)) != 0) e = lastError();
    if (std::fclose(stream) != 0 && !e) e = lastError();
    return e;
}

Error replaceHostFile(const std::string& from, const std::string& to) {
    return resultOf(std::rename(from.c_str(), to.c_str()));
}

void removeHostFile(const std::string& host) { unlink(host.c_str()); }

// The name as given first: it opens only when it exists exactly, which is
// what the look-up would have found. Only a miss pays for the case-blind
// search.
FileHandle openForReading(const std::string& path) {
    const std::string host = hostForm(path);
    int fd = ::open(host.c_str(), readingFlags);
    if (fd < 0) fd = ::open(resolveHost(host).c_str(), readingFlags);
    return FileHandle{fd};
}

// Every file is opened without waiting (readingFlags).
bool readsAtOnce(FileHandle) { return true; }

}  // namespace platform
