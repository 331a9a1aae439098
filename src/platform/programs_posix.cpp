#include "programs.h"

#include "cleanup_registry.h"
#include "path.h"
#include "posix_shared.h"
#include "programs_shared.h"

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

// The child's wait status, false (with `error` set) when it cannot be had.
bool waitForExit(pid_t pid, int& status, Error& error) {
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            error = Error{errno};
            return false;
        }
    }
    return true;
}

// waitForExit with the child as the registry's running child meanwhile,
// so that an interrupt stops it too, and waits for it.
bool waitForRunningChild(pid_t pid, int& status, Error& error) {
    setRunningChild(pid);
    const bool waited = waitForExit(pid, status, error);
    setRunningChild(0);
    return waited;
}

int exitStatusOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

// posix_spawn reports a missing program only through the child's exit
// status on some systems; look first so that "not started" is certain.
bool canStart(const std::string& host, Error& error) {
    if (access(host.c_str(), X_OK) != 0) {
        error = Error{errno};
        return false;
    }
    struct stat st {};
    if (stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        error = Error{EACCES};
        return false;
    }
    return true;
}

// The argument vector as posix_spawn takes it: copies it may change, and
// a null entry at the end.
class ArgumentVector {
public:
    explicit ArgumentVector(const std::vector<std::string>& argv) : copies_(argv) {
        pointers_.reserve(copies_.size() + 1);
        for (auto& a : copies_) pointers_.push_back(a.data());
        pointers_.push_back(nullptr);
    }
    ArgumentVector(const ArgumentVector&) = delete;  // the pointers lead into this one's copies
    ArgumentVector& operator=(const ArgumentVector&) = delete;
    char* const* data() { return pointers_.data(); }

private:
    std::vector<std::string> copies_;
    std::vector<char*> pointers_;
};

// Starts the program with `mask` as its signal mask and, when given, the
// signals in `defaults` handled the default way. 0, or the error number.
int spawnWith(const std::string& host, ArgumentVector& args, const sigset_t& mask, const sigset_t* defaults,
              pid_t& pid, const posix_spawn_file_actions_t* actions = nullptr) {
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) return ENOMEM;
    posix_spawnattr_setsigmask(&attributes, &mask);
    short flags = POSIX_SPAWN_SETSIGMASK;
    if (defaults) {
        posix_spawnattr_setsigdefault(&attributes, defaults);
        flags |= POSIX_SPAWN_SETSIGDEF;
    }
    posix_spawnattr_setflags(&attributes, flags);
    const int rc = posix_spawn(&pid, host.c_str(), actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    return rc;
}

// From the main thread the interrupts are held off until the child is in
// the registry, so that no interrupt can end the run in between and leave
// zip writing behind it; the child starts with the usual mask.
int runFromMainThread(const std::string& host, ArgumentVector& args, Error& error) {
    pid_t pid = 0;
    {
        InterruptsHeldOff held;
        const int rc = spawnWith(host, args, held.previousMask(), nullptr, pid);
        if (rc != 0) {
            error = Error{rc};
            return -1;
        }
        setRunningChild(pid);
    }
    int status = 0;
    return waitForRunningChild(pid, status, error) ? exitStatusOf(status) : -1;
}

// A helper thread blocks every signal: its child must not inherit that,
// so that an interrupt from the terminal ends it. The handler stops only
// the main thread's child, so this one stays out of the registry.
// With `onOutput`, the child's standard output is a pipe that is read to
// its end before the child is waited for, and its standard error is
// /dev/null.
int runFromHelperThread(const std::string& host, ArgumentVector& args, Error& error,
                        const OutputBlocks* onOutput = nullptr) {
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGINT, SIGQUIT, SIGTERM, SIGABRT, SIGPIPE}) sigaddset(&defaults, s);
    // The pipe's ends are closed on exec; the child's copy of the write end
    // is its standard output.
    int pipeEnds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    if (onOutput) {
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
            error = Error{errno};
            return -1;
        }
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int rc = spawnWith(host, args, none, &defaults, pid, onOutput ? &actions : nullptr);
    if (onOutput) {
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);  // the child holds the only write end now: its end is our end of file
    }
    if (rc != 0) {
        if (onOutput) close(pipeEnds[0]);
        error = Error{rc};
        return -1;
    }
    if (onOutput) {
        char block[64 * 1024];
        for (;;) {
            const ssize_t got = read(pipeEnds[0], block, sizeof block);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            (*onOutput)(block, static_cast<std::size_t>(got));
        }
        close(pipeEnds[0]);
    }
    int status = 0;
    return waitForExit(pid, status, error) ? exitStatusOf(status) : -1;
}

}  // namespace

void stopRunningChild(Signal which) {
    const pid_t child = static_cast<pid_t>(runningChild());
    if (child <= 0) return;
    kill(child, signalNumber(which));
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

int startAndWait(StartedFrom from, const std::string& path, const std::vector<std::string>& argv, Error& error) {
    const std::string host = resolvePath(path);
    if (!canStart(host, error)) return -1;
    ArgumentVector args(argv);
    return from == StartedFrom::mainThread ? runFromMainThread(host, args, error)
                                           : runFromHelperThread(host, args, error);
}

int spawnReadingOutput(const std::string& path, const std::vector<std::string>& argv, const OutputBlocks& onOutput,
                       Error& error) {
    const std::string host = resolvePath(path);
    if (!canStart(host, error)) return -1;
    ArgumentVector args(argv);
    return runFromHelperThread(host, args, error, &onOutput);
}

// Linux takes 2 MB of arguments and environment, and at most 128 KB in
// one argument; a quarter of the least the system promises is safe
// anywhere, and long enough that a batch of names costs nothing.
std::size_t commandLineLimit() { return 128 * 1024; }

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
    if (!waitForRunningChild(pid, status, error)) return -1;
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

const char* environmentValue(const char* name) { return std::getenv(name); }

long currentProcessId() { return static_cast<long>(getpid()); }

}  // namespace platform
