#include "lock.h"

#include "cleanup_registry.h"
#include "lock_shared.h"
#include "posix_shared.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

std::string readHolder(int fd) {
    char text[512];
    const ssize_t n = ::pread(fd, text, sizeof text, 0);
    return n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

const Error lockKeptChanging{EAGAIN};

std::string lockFilePath(const std::string& path) { return resolveHost(hostForm(path)); }

Error writeLockHolder(FileHandle file, const std::string& text) {
    const int fd = static_cast<int>(file.value);
    if (::ftruncate(fd, 0) != 0) return Error{errno};
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n <= 0) return Error{n < 0 ? errno : EIO};
        done += static_cast<std::size_t>(n);
    }
    return Error{};
}

LockTry tryLock(const std::string& host, FileHandle& file, int& slot, std::string& otherHolder, Error& error) {
    InterruptsHeldOff held;
    const int fd = ::open(host.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = Error{errno};
        return LockTry::failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int number = errno;
        if (number == EWOULDBLOCK) otherHolder = readHolder(fd);
        ::close(fd);
        if (number == EWOULDBLOCK) return LockTry::held;
        error = Error{number};
        return LockTry::failed;
    }
    struct stat locked, named;
    if (::fstat(fd, &locked) != 0 || ::stat(host.c_str(), &named) != 0 || !sameFile(locked, named)) {
        ::close(fd);  // its holder removed it before letting go
        return LockTry::again;
    }
    file = FileHandle{fd};
    slot = rememberFile(host);
    return LockTry::locked;
}

bool fileIdentity(const std::string& path, FileIdentity& identity) {
    struct stat st;
    if (::stat(resolveHost(hostForm(path)).c_str(), &st) != 0) return false;
    identity.device = static_cast<std::uint64_t>(st.st_dev);
    identity.file = static_cast<std::uint64_t>(st.st_ino);
    identity.size = static_cast<std::int64_t>(st.st_size);
    identity.modifyTime = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

Error claimFile(const std::string& path, const std::string& bytes, bool& exists, int& slot) {
    exists = false;
    slot = -1;
    const std::string host = resolveHost(hostForm(path));
    // Interrupts are held off until the file is in the registry: it either
    // is there before the handler looks, or is never made.
    int fd = -1;
    Error failure;
    {
        InterruptsHeldOff held;
        fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        failure = Error{fd < 0 ? errno : 0};
        if (fd >= 0) {
            slot = rememberFile(host);
            if (slot < 0) failure = Error{EMFILE};
        }
    }
    if (fd < 0) {
        exists = failure.number == EEXIST;
        return failure;
    }
    std::size_t done = 0;
    while (!failure && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) failure = Error{n < 0 ? errno : EIO};
        else done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && !failure) failure = Error{errno};
    if (failure) {
        ::unlink(host.c_str());
        forgetFile(slot);
        slot = -1;
    }
    return failure;
}

}  // namespace platform
