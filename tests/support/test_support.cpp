#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
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

void snapshotInto(const std::string& root, const std::string& rel, std::map<std::string, std::string>& out) {
    for (const auto& name : listDirectory(root + (rel.empty() ? "" : "/" + rel))) {
        std::string r = rel.empty() ? name : rel + "/" + name;
        if (isDirectory(root + "/" + r)) {
            out[r + "/"] = "";
            snapshotInto(root, r, out);
        } else {
            out[r] = readFile(root + "/" + r);
        }
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

CurrentDirectory::CurrentDirectory(const std::string& dir) {
    std::vector<char> buf(4096);
    while (!getcwd(buf.data(), buf.size()) && errno == ERANGE) buf.resize(buf.size() * 2);
    previous_ = buf.data();
    if (chdir(dir.c_str()) != 0) ADD_FAILURE() << "cannot enter " << dir;
}

CurrentDirectory::~CurrentDirectory() {
    if (chdir(previous_.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << previous_;
}

SavedVariables::SavedVariables(const std::vector<std::string>& names) {
    for (const auto& name : names) {
        const char* value = std::getenv(name.c_str());
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
}

SavedVariables::~SavedVariables() {
    for (const auto& [name, value] : saved_) {
        if (value) setenv(name.c_str(), value->c_str(), 1);
        else unsetenv(name.c_str());
    }
}

InTempDirectory::InTempDirectory() {
    const char* path = std::getenv("PATH");
    originalPath_ = path ? path : "";
    unsetenv("ARCHIVER_DEBUG");
}

void InTempDirectory::usePath(const std::string& value) { setenv("PATH", value.c_str(), 1); }

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

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

void writeFile(const std::string& path, const std::string& bytes) {
    auto slash = path.rfind('/');
    if (slash != std::string::npos) makeDirectories(path.substr(0, slash));
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) throw std::runtime_error("cannot write " + path);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return std::string();
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
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

std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> out;
    snapshotInto(root, "", out);
    return out;
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
            result.err = "(timed out)";
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

std::vector<std::string> linesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size() - 1;
        lines.push_back(bytes.substr(start, end - start + 1));
        start = end + 1;
    }
    return lines;
}

std::string indexLine(const std::vector<std::string>& fields) {
    std::string line;
    for (const auto& f : fields) { line += f; line += '\xDE'; }
    line += '\n';
    return line;
}

std::vector<std::string> messageHeaders(const std::string& subject, const std::string& from,
                                        const std::string& to) {
    return {"Date: Tue, 14 Jul 1998 11:39:10 +0000", "From: " + from, "To: " + to, "Subject: " + subject};
}

std::string messageIndexLine(const std::string& subject, const std::string& fromName,
                             const std::string& fromAddress, const std::string& fileName,
                             const std::string& values, const std::string& values2, const std::string& to) {
    return indexLine({values, values2, "1998-07-14", "11:39:10", subject, to, to, fromAddress, fromName, "1K", fileName});
}

std::string addressRecord(std::vector<std::string> fields) {
    while (fields.size() < 26) fields.push_back("f" + std::to_string(fields.size()));
    return indexLine(fields);
}

StoreBuilder::StoreBuilder(std::string mainDir) : main_(std::move(mainDir)) {
    makeDirectories(main_);
    writeFile(main_ + "/velmor.exe", "placeholder\n");
}

StoreBuilder& StoreBuilder::account(const std::string& dir, const std::string& displayName) {
    std::string ini(512, '\0');
    ini += displayName;
    ini += '\0';
    ini += std::string(64, '\0');
    writeFile(main_ + "/" + dir + "/acct.ini", ini);
    return *this;
}

StoreBuilder& StoreBuilder::folder(const std::string& dir, const std::string& displayName) {
    std::string line = displayName;
    for (const char* f : {"1000", "1", "0;1;2;3;4;5;6;7;8;9", "1", "1", "1", "0"}) {
        line += '\xDE';
        line += f;
    }
    line += "\xDE\n";
    writeFile(main_ + "/" + dir + "/folder.ini", line);
    return *this;
}

StoreBuilder& StoreBuilder::message(const std::string& path, const std::vector<std::string>& headers,
                                    const std::string& body) {
    std::string text;
    for (const auto& h : headers) text += h + "\n";
    text += "\n" + body;
    writeFile(main_ + "/" + path, text);
    return *this;
}

StoreBuilder& StoreBuilder::file(const std::string& path, const std::string& bytes) {
    writeFile(main_ + "/" + path, bytes);
    return *this;
}

StoreBuilder& StoreBuilder::age(const std::string& path, long days) {
    setModifyTime(main_ + "/" + path, std::time(nullptr) - days * 86400);
    return *this;
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

std::vector<std::string> zipMembers(const std::string& archive) {
    std::vector<std::string> names;
    RunResult r = run(findProgram("unzip"), {"-Z1", archive});
    if (r.status != 0) return names;
    std::stringstream ss(r.out);
    std::string line;
    while (std::getline(ss, line))
        if (!line.empty()) names.push_back(line);
    return names;
}

std::string zipMember(const std::string& archive, const std::string& member) {
    return run(findProgram("unzip"), {"-p", archive, member}).out;
}

void writeScript(const std::string& dir, const std::string& name, const std::string& body) {
    std::string path = dir + "/" + name;
    writeFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

void recordingStandIn(const std::string& dir, const std::string& name, const std::string& record, int status) {
    makeDirectories(dir);
    writeScript(dir, name,
                "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record + "'\n"
                "/bin/cat > '" + record + ".in'\n"
                "exit " + std::to_string(status) + "\n");
}

}  // namespace testing_support
