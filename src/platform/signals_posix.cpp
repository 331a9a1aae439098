#include "signals.h"

#include "cleanup_registry.h"
#include "posix_shared.h"
#include "signals_shared.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

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

void exitImmediately(int status) { _exit(status); }

}  // namespace platform
