#include "signals.h"

#include "cleanup_registry.h"
#include "posix_shared.h"
#include "signals_shared.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#else
#include <dirent.h>
#endif

namespace platform {

namespace {

constexpr Signal everySignal[] = {Signal::interrupt, Signal::breakKey, Signal::terminate, Signal::abort};

void writeAll(int fd, const char* text, std::size_t length) {
    while (length > 0) {
        ssize_t n = write(fd, text, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text += n;
        length -= static_cast<std::size_t>(n);
    }
}

void handleSignal(int number) {
    for (Signal which : everySignal) {
        if (signalNumber(which) != number) continue;
        handleInterrupt(which);
        return;
    }
}

// How deep removeDirectoryRaw goes: unzip puts files, and perhaps a
// directory, into a staging folder, never a tree.
constexpr int removalDepth = 4;

bool removeEntry(int dirFd, const char* name, int depth);

// Empties the open directory `dirFd`. Inside a signal handler readdir may
// not be used (it takes the heap and a lock): on Linux the entries come
// from the system call itself, into a buffer on the stack.
void emptyDirectory(int dirFd, int depth) {
#ifdef __linux__
    alignas(8) char buffer[4096];
    // Removing entries while reading may make the reading skip some: read
    // again from the start while a pass removed anything.
    for (int pass = 0; pass < 8; ++pass) {
        bool removed = false;
        long n;
        while ((n = syscall(SYS_getdents64, dirFd, buffer, sizeof buffer)) > 0) {
            for (long at = 0; at < n;) {
                // struct linux_dirent64: inode, offset, record length, type, name.
                unsigned short length = 0;
                std::memcpy(&length, buffer + at + 16, sizeof length);
                const char* name = buffer + at + 19;
                if (length == 0) return;
                at += length;
                if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0 && removeEntry(dirFd, name, depth))
                    removed = true;
            }
        }
        if (!removed || lseek(dirFd, 0, SEEK_SET) != 0) return;
    }
#else
    // Elsewhere readdir is the only portable way; the handler runs it
    // only when the run ends by an interrupt while a directory exists.
    const int own = dup(dirFd);
    if (own < 0) return;
    DIR* dir = fdopendir(own);
    if (!dir) {
        close(own);
        return;
    }
    while (const dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            removeEntry(dirFd, entry->d_name, depth);
    closedir(dir);
#endif
}

// True when the entry is gone.
bool removeEntry(int dirFd, const char* name, int depth) {
    if (unlinkat(dirFd, name, 0) == 0) return true;
    if (errno == ENOENT) return false;
    // A directory: emptied first, without following a link.
    if (depth > 0) {
        const int sub = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub >= 0) {
            emptyDirectory(sub, depth - 1);
            close(sub);
        }
    }
    return unlinkat(dirFd, name, AT_REMOVEDIR) == 0;
}

}  // namespace

int signalNumber(Signal which) {
    switch (which) {
        case Signal::interrupt: return SIGINT;
        case Signal::breakKey: return SIGQUIT;
        case Signal::terminate: return SIGTERM;
        case Signal::abort: return SIGABRT;
    }
    return SIGINT;
}

InterruptsHeldOff::InterruptsHeldOff() {
    sigset_t interrupts;
    sigemptyset(&interrupts);
    for (Signal which : everySignal) sigaddset(&interrupts, signalNumber(which));
    sigprocmask(SIG_BLOCK, &interrupts, &saved_);
}

InterruptsHeldOff::~InterruptsHeldOff() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

bool catchSignal(Signal which) {
    struct sigaction action {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    return sigaction(signalNumber(which), &action, nullptr) == 0;
}

void writeStandardErrorRaw(const char* text, std::size_t length) { writeAll(2, text, length); }

void appendRaw(const char* path, const char* text, std::size_t length) {
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0666);
    if (fd < 0) return;
    writeAll(fd, text, length);
    close(fd);
}

void unlinkRaw(const char* path) { unlink(path); }

void removeDirectoryRaw(const char* path) {
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        emptyDirectory(fd, removalDepth);
        close(fd);
    }
    rmdir(path);
}

void exitImmediately(int status) { _exit(status); }

}  // namespace platform
