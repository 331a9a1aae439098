#include "programs.h"

#include "cleanup_registry.h"
#include "path.h"
#include "posix_shared.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

int signalNumberOf(Signal which) {
    switch (which) {
        case Signal::interrupt: return SIGINT;
        case Signal::breakKey: return SIGQUIT;
        case Signal::terminate: return SIGTERM;
        case Signal::abort: return SIGABRT;
    }
    return SIGTERM;
}

// The child's wait status, false (with `error` set) when it cannot be had.
bool waitForExit(pid_t pid, int& status, Error& error) {
    setRunningChild(pid);
    bool waited = true;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            error = Error{errno};
            waited = false;
            break;
        }
    }
    setRunningChild(0);
    return waited;
}

}  // namespace

void stopRunningChild(Signal which) {
    const pid_t child = static_cast<pid_t>(runningChild());
    if (child <= 0) return;
    kill(child, signalNumberOf(which));
    // Give it time to clean up after itself; one that does not stop is killed.
    for (int i = 0; i < 100; ++i) {
        if (waitpid(child, nullptr, WNOHANG) != 0) return;
        const timespec pause{0, 50 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

char pathListSeparator() { return ':'; }
const char* executableSuffix() { return ""; }

namespace {

// The spawn of both kinds: from the main thread, which an interrupt finds
// in the registry, or from a helper thread, whose child gets the signal
// mask and handling of a fresh process.
int spawnAndWaitAs(bool fromHelper, const std::string& path, const std::vector<std::string>& argv, Error& error) {
    std::string host = resolvePath(path);
    // posix_spawn reports a missing program only through the child's exit
    // status on some systems; look first so that "not started" is certain.
    if (access(host.c_str(), X_OK) != 0) {
        error = Error{errno};
        return -1;
    }
    struct stat st {};
    if (stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        error = Error{EACCES};
        return -1;
    }
    std::vector<std::string> copies(argv);
    std::vector<char*> args;
    args.reserve(copies.size() + 1);
    for (auto& a : copies) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        error = Error{ENOMEM};
        return -1;
    }
    if (fromHelper) {
        // The helper blocks every signal: its child must not inherit that,
        // so that an interrupt from the terminal ends it.
        sigset_t none, caught;
        sigemptyset(&none);
        sigemptyset(&caught);
        for (int s : {SIGINT, SIGQUIT, SIGTERM, SIGABRT, SIGPIPE}) sigaddset(&caught, s);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &caught);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    // From the main thread the interrupts are held off until the child is
    // in the registry, so that no interrupt can end the run in between and
    // leave zip writing behind it; the child starts with the usual mask.
    sigset_t interrupts, saved;
    sigemptyset(&interrupts);
    for (int number : {SIGINT, SIGQUIT, SIGTERM, SIGABRT}) sigaddset(&interrupts, number);
    if (!fromHelper) {
        sigprocmask(SIG_BLOCK, &interrupts, &saved);
        posix_spawnattr_setsigmask(&attributes, &saved);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    }
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, host.c_str(), nullptr, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (!fromHelper) {
        if (rc == 0) setRunningChild(pid);
        sigprocmask(SIG_SETMASK, &saved, nullptr);
    }
    if (rc != 0) {
        error = Error{rc};
        return -1;
    }
    int status = 0;
    if (fromHelper) {
        while (waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR) {
                error = Error{errno};
                return -1;
            }
        }
    } else if (!waitForExit(pid, status, error)) {
        return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

}  // namespace

int spawnAndWait(const std::string& path, const std::vector<std::string>& argv, Error& error) {
    return spawnAndWaitAs(false, path, argv, error);
}

int spawnAndWaitFromHelper(const std::string& path, const std::vector<std::string>& argv, Error& error) {
    return spawnAndWaitAs(true, path, argv, error);
}

bool redirectStandardInput(const std::string& path) {
    int fd = open(resolvePath(path).c_str(), O_RDONLY);
    if (fd < 0) return false;
    if (fd != 0) {
        if (dup2(fd, 0) < 0) {
            close(fd);
            return false;
        }
        close(fd);
    }
    return true;
}

int runCommandInterpreter(const std::string& commandLine) {
    pid_t pid = 0;
    std::string copy = commandLine;
    char shell[] = "/bin/sh";
    char dashC[] = "-c";
    char* args[] = {shell, dashC, copy.data(), nullptr};
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, args, environ) != 0) return -1;
    // An interrupt stops the interpreter too, and waits for it.
    int status = 0;
    Error error;
    if (!waitForExit(pid, status, error)) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string interpreterWord(const std::string& text) {
    bool plain = !text.empty();
    for (char c : text)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._-+", c))) plain = false;
    if (plain) return text;
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

void fromConsoleCodePage(std::string&) {}

std::string createTemporaryFile() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/archiver-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int slot = -1;
    const int fd = createRememberedFile(buf, slot);
    if (fd < 0) return std::string();
    close(fd);
    return buf.data();
}

void removeTemporaryFile(const std::string& path) {
    unlink(path.c_str());
    forgetFile(slotOfFile(path));
}

const char* environmentValue(const char* name) { return std::getenv(name); }

long currentProcessId() { return static_cast<long>(getpid()); }

}  // namespace platform
