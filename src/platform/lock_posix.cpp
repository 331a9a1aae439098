#include "lock.h"

#include "lock_shared.h"

#include "cleanup_registry.h"
#include "posix_shared.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The lock file may be removed and made anew between our open and our
// lock; a handful of such turns is all that can happen in practice.
constexpr int lockAttempts = 64;

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

std::string readHolder(int fd) {
    char text[512];
    const ssize_t n = ::pread(fd, text, sizeof text, 0);
    return n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
}

// Interrupts held off from the open until the lock file is in the cleanup
// registry: an interrupt then removes a file this run locked, and never
// leaves one it made.
class InterruptsHeldOff {
public:
    InterruptsHeldOff() {
        sigset_t interrupts;
        sigemptyset(&interrupts);
        for (int number : {SIGINT, SIGQUIT, SIGTERM, SIGABRT}) sigaddset(&interrupts, number);
        sigprocmask(SIG_BLOCK, &interrupts, &saved_);
    }
    ~InterruptsHeldOff() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }
    InterruptsHeldOff(const InterruptsHeldOff&) = delete;
    InterruptsHeldOff& operator=(const InterruptsHeldOff&) = delete;

private:
    sigset_t saved_;
};

}  // namespace

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

LockOutcome takeLock(const std::string& path, const std::string& holderText, FileLock& lock,
                     std::string& otherHolder, Error& error) {
    const std::string host = resolveHost(hostForm(path));
    for (int attempt = 0; attempt < lockAttempts; ++attempt) {
        int fd = -1;
        int slot = -1;
        {
            InterruptsHeldOff held;
            fd = ::open(host.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0) {
                error = Error{errno};
                return LockOutcome::failed;
            }
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int number = errno;
                if (number == EWOULDBLOCK) otherHolder = readHolder(fd);
                ::close(fd);
                if (number == EWOULDBLOCK) return LockOutcome::held;
                error = Error{number};
                return LockOutcome::failed;
            }
            struct stat locked, named;
            if (::fstat(fd, &locked) != 0 || ::stat(host.c_str(), &named) != 0 || !sameFile(locked, named)) {
                ::close(fd);  // its holder removed it before letting go: try the new one
                continue;
            }
            slot = rememberFile(host);
        }
        return keepTakenLock(lock, FileHandle{fd}, host, slot, holderText, error);
    }
    error = Error{EAGAIN};
    return LockOutcome::failed;
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
