#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

extern char** environ;

namespace testing_support {

namespace {

// A test program started with standard input closed (as CI may do) would
// get descriptor 0 for the first pipe that run() makes, and the child would
// then lose the input it is given. Keep descriptors 0 to 2 taken.
const bool standardDescriptorsTaken = [] {
    for (int fd = 0; fd < 3; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) != fd) return false;
    return true;
}();

void removeTree(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d)) {
                if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
                removeTree(path + "/" + e->d_name);
            }
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

}  // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/archiver-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() { removeTree(path_); }

void makeDirectories(const std::string& path) {
    std::string cur;
    std::stringstream ss(path);
    std::string part;
    if (!path.empty() && path[0] == '/') cur = "/";
    while (std::getline(ss, part, '/')) {
        if (part.empty()) continue;
        cur += part;
        mkdir(cur.c_str(), 0755);
        cur += "/";
    }
}

bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void setModifyTime(const std::string& path, std::time_t when) {
    struct timeval tv[2] = {{when, 0}, {when, 0}};
    utimes(path.c_str(), tv);
}

std::vector<std::string> listDirectory(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            names.emplace_back(e->d_name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

RunResult run(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
    RunResult result;
    int outPipe[2], errPipe[2], inPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0 || pipe(inPipe) != 0) return result;
    if (options.ownProcessGroup) {
        // What the program starts and leaves behind becomes our child when
        // the program ends, so that it can be reaped below.
        static const bool reaper = prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
        (void)reaper;
    }

    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (!options.pathPrefix.empty() && entry.rfind("PATH=", 0) == 0)
            entry = "PATH=" + options.pathPrefix + ":" + entry.substr(5);
        envStrings.push_back(entry);
    }
    for (const auto& e : options.env) envStrings.push_back(e);
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid == 0) {
        if (options.ownProcessGroup) {
            setpgid(0, 0);
            for (int s : {SIGINT, SIGTERM, SIGQUIT, SIGPIPE}) signal(s, SIG_DFL);
        }
        if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) _exit(126);
        if (options.input.empty() && options.inputFromDevNull) {
            int fd = open("/dev/null", O_RDONLY);
            dup2(fd, 0);
        } else {
            dup2(inPipe[0], 0);
        }
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(inPipe[0]); close(inPipe[1]);
        close(outPipe[0]); close(outPipe[1]);
        close(errPipe[0]); close(errPipe[1]);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    // Also here, so that a signal sent at once finds the group.
    if (options.ownProcessGroup) setpgid(pid, pid);
    const pid_t target = options.ownProcessGroup ? -pid : pid;
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    signal(SIGPIPE, SIG_IGN);
    if (!options.input.empty()) {
        ssize_t ignored = write(inPipe[1], options.input.data(), options.input.size());
        (void)ignored;
    }
    close(inPipe[1]);

    const auto start = std::chrono::steady_clock::now();
    auto elapsedMs = [&] {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    };
    const long deadlineMs = options.timeoutSeconds * 1000L;
    bool signalled = options.signalAfterMs < 0;
    bool ended = false;
    int status = 0;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    char buf[65536];
    while (open > 0) {
        long wait = 1000;
        if (!signalled) wait = std::clamp(options.signalAfterMs - elapsedMs(), 0L, wait);
        // In a group, the end of the program is noticed without waiting for
        // the pipes: what it left behind may hold them.
        if (options.ownProcessGroup && !ended) wait = std::min(wait, 2L);
        int n = poll(fds, 2, static_cast<int>(wait));
        if (!signalled && elapsedMs() >= options.signalAfterMs) {
            kill(target, options.signal);
            signalled = true;
        }
        if (elapsedMs() > deadlineMs) {
            kill(target, SIGKILL);
            // What it wrote so far stays after the mark: it tells where it stuck.
            result.err = "(timed out) " + result.err;
            break;
        }
        if (options.ownProcessGroup && !ended && waitpid(pid, &status, WNOHANG) == pid) {
            ended = true;
            kill(target, SIGKILL);
        }
        if (n <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t r = read(fds[i].fd, buf, sizeof buf);
            if (r <= 0) { close(fds[i].fd); fds[i].fd = -1; --open; continue; }
            (i == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(r));
        }
    }
    for (auto& f : fds) if (f.fd >= 0) close(f.fd);
    if (!ended) waitpid(pid, &status, 0);
    if (options.ownProcessGroup) {
        kill(target, SIGKILL);
        while (waitpid(target, nullptr, 0) > 0) {
        }
    }
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status)) result.status = 128 + WTERMSIG(status);
    return result;
}

}  // namespace testing_support

namespace testing_support {

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream ss(path ? path : "");
    std::string dir;
    while (std::getline(ss, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0 && !isDirectory(candidate)) return candidate;
    }
    return std::string();
}

std::uint64_t fileIdentity(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return 0;
    return (static_cast<std::uint64_t>(st.st_dev) << 40) ^ static_cast<std::uint64_t>(st.st_ino);
}

std::string canonicalPath(const std::string& path) {
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? buf : path;
}

const char pathListSeparator = ':';
const char* const temporaryDirectoryVariable = "TMPDIR";

void setEnvironment(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }
void unsetEnvironment(const std::string& name) { unsetenv(name.c_str()); }

std::tm localFields(std::time_t t) {
    std::tm fields{};
    localtime_r(&t, &fields);
    return fields;
}

void writeScript(const std::string& dir, const std::string& name, const std::string& body) {
    std::string path = dir + "/" + name;
    writeFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

}  // namespace testing_support
