// attfix's system calls on POSIX.
#include "attfix_file.h"

#include "attfix_file_shared.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace attfix {

namespace {

std::string nativePath(const std::string& path) {
    std::string native = path;
    if (native.size() >= 2 && native[1] == ':' &&
        ((native[0] >= 'A' && native[0] <= 'Z') || (native[0] >= 'a' && native[0] <= 'z')))
        native.erase(0, 2);
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

int descriptorOf(std::intptr_t file) { return static_cast<int>(file); }

}  // namespace

std::intptr_t createTruncated(const char* name) {
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd < 0 ? noFile : fd;
}

int readBytes(std::intptr_t file, char* buffer, std::size_t size, std::size_t& got) {
    for (;;) {
        const ssize_t n = ::read(descriptorOf(file), buffer, size);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR) return errno;
    }
}

int writeBytes(std::intptr_t file, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(descriptorOf(file), data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

int syncToDisk(std::intptr_t file) { return ::fsync(descriptorOf(file)) != 0 ? errno : 0; }

int closeFile(std::intptr_t file) { return ::close(descriptorOf(file)) != 0 ? errno : 0; }

int renameOver(const std::string& from, const std::string& to) {
    return std::rename(nativePath(from).c_str(), nativePath(to).c_str()) != 0 ? errno : 0;
}

bool InputFile::open(const std::string& path) {
    // Non-blocking so that a named pipe cannot hold the program; it is
    // refused below like every other file that is not a plain file.
    int fd = ::open(nativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        noteFailure(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        noteFailure(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        ::close(fd);
        return false;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file_ = fd;
    buffer_.resize(65536);
    return true;
}

bool InputFile::isSameFileAs(const std::string& path) const {
    struct stat mine {};
    struct stat other {};
    if (::fstat(descriptorOf(file_), &mine) != 0 || ::stat(nativePath(path).c_str(), &other) != 0) return false;
    return mine.st_dev == other.st_dev && mine.st_ino == other.st_ino;
}

bool OutputFile::create(const std::string& path, const InputFile& like) {
    struct stat st {};
    mode_t mode = 0666;
    if (::fstat(descriptorOf(like.handle()), &st) == 0) mode = st.st_mode & 07777;
    int fd = ::open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        noteFailure(errno);
        return false;
    }
    // The copy takes the place of the message, so it keeps the message's
    // owner and permissions where the system allows; a refusal changes no
    // bytes and is not a reason to stop.
    struct stat made {};
    if (::fstat(fd, &made) == 0 && st.st_mode != 0) {
        if (made.st_uid != st.st_uid || made.st_gid != st.st_gid) {
            int ignored = ::fchown(fd, st.st_uid, st.st_gid);
            (void)ignored;
        }
        ::fchmod(fd, st.st_mode & 07777);
    }
    file_ = fd;
    return true;
}

void removeFile(const std::string& path) { ::unlink(nativePath(path).c_str()); }

}  // namespace attfix
