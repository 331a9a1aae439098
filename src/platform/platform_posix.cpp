// POSIX implementation of the platform layer.
#include "platform.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <time.h>

extern char** environ;

namespace platform {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool hasDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(foldCase(a[i]));
        unsigned char y = static_cast<unsigned char>(foldCase(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// The host form of a store path, without any case resolution: separators
// become "/", a drive prefix names the root, doubled separators collapse.
std::string hostForm(const std::string& path) {
    std::string s = hasDrive(path) ? path.substr(2) : path;
    bool absolute = hasDrive(path) || (!s.empty() && isSeparator(s[0]));
    std::string out;
    out.reserve(s.size() + 1);
    if (absolute) out = "/";
    bool lastWasSeparator = absolute;
    for (char c : s) {
        if (isSeparator(c)) {
            if (!lastWasSeparator) out += '/';
            lastWasSeparator = true;
        } else {
            out += c;
            lastWasSeparator = false;
        }
    }
    if (hasDrive(path) && s.empty()) return ".";  // "D:" alone: the current directory of that drive
    if (out.empty()) return path.empty() ? std::string() : ".";
    return out;
}

bool existsExactly(const std::string& hostPath) {
    struct stat st {};
    return lstat(hostPath.c_str(), &st) == 0;
}

// Finds `name` in the directory `dir` without regard to case; the exact
// spelling wins, otherwise the first match in case-insensitive order.
bool findIgnoringCase(const std::string& dir, const std::string& name, std::string& found) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    std::vector<std::string> matches;
    while (dirent* e = readdir(d)) {
        if (equalIgnoringCase(e->d_name, name)) matches.emplace_back(e->d_name);
    }
    closedir(d);
    if (matches.empty()) return false;
    std::sort(matches.begin(), matches.end(), lessIgnoringCase);
    found = matches.front();
    return true;
}

std::string joinHost(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

// Resolves a host-form path component by component. The common case, an
// exact path that exists, costs one lstat.
std::string resolveHost(const std::string& host) {
    if (host.empty() || host == "." || host == "/" || existsExactly(host)) return host;
    auto slash = host.find_last_of('/');
    std::string parent = slash == std::string::npos ? std::string() : host.substr(0, slash);
    std::string leaf = slash == std::string::npos ? host : host.substr(slash + 1);
    if (slash == 0) parent = "/";
    std::string resolvedParent = parent.empty() ? std::string() : resolveHost(parent);
    if (leaf.empty() || leaf == "." || leaf == "..") return joinHost(resolvedParent, leaf);
    std::string found;
    if (findIgnoringCase(resolvedParent.empty() ? "." : resolvedParent, leaf, found))
        return joinHost(resolvedParent, found);
    return joinHost(resolvedParent, leaf);
}

std::time_t changeTimeOf(const struct stat& st) { return st.st_ctime; }

void fillStatus(const struct stat& st, FileStatus& status) {
    status.isDirectory = S_ISDIR(st.st_mode);
    status.isRegular = S_ISREG(st.st_mode);
    status.size = static_cast<std::int64_t>(st.st_size);
    status.changeTime = changeTimeOf(st);
    status.modifyTime = st.st_mtime;
    status.accessTime = st.st_atime;
}

// Temporaries of AtomicFile not yet published, by name, for the signal
// handler: an interrupted rewrite must not leave its half-written file
// beside the one it was to replace. Fixed slots, so that the handler reads
// them without locks or the heap.
constexpr std::size_t unpublishedSlots = 8;
char unpublished[unpublishedSlots][4096];
volatile sig_atomic_t unpublishedUsed[unpublishedSlots];

int rememberUnpublished(const std::string& path) {
    if (path.size() >= sizeof unpublished[0]) return -1;
    for (std::size_t i = 0; i < unpublishedSlots; ++i) {
        if (unpublishedUsed[i]) continue;
        std::memcpy(unpublished[i], path.c_str(), path.size() + 1);
        unpublishedUsed[i] = 1;
        return static_cast<int>(i);
    }
    return -1;
}

void forgetUnpublished(int slot) {
    if (slot >= 0) unpublishedUsed[slot] = 0;
}

void removeUnpublished() {
    for (std::size_t i = 0; i < unpublishedSlots; ++i)
        if (unpublishedUsed[i]) unlink(unpublished[i]);
}

// The program we are waiting for, for the signal handler: an interrupted
// run must not end while zip or unzip still writes into the store, nor
// leave it running behind us.
volatile sig_atomic_t runningChild = 0;

void stopRunningChild(int number) {
    const pid_t child = static_cast<pid_t>(runningChild);
    if (child <= 0) return;
    kill(child, number);
    // Give it time to clean up after itself (zip removes its temporary
    // archive); one that does not stop is killed.
    for (int i = 0; i < 100; ++i) {
        if (waitpid(child, nullptr, WNOHANG) != 0) return;
        const timespec pause{0, 50 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

void (*installedHandlers[NSIG])(int);

void handleSignal(int number) {
    stopRunningChild(number);
    removeUnpublished();
    if (number > 0 && number < NSIG && installedHandlers[number]) installedHandlers[number](number);
}

}  // namespace

// ---- paths ----------------------------------------------------------------

bool isAbsolutePath(const std::string& path) {
    return hasDrive(path) || (!path.empty() && isSeparator(path[0]));
}

std::string resolvePath(const std::string& path) { return resolveHost(hostForm(path)); }

// ---- file status and operations ----------------------------------------------

bool fileStatus(const std::string& path, FileStatus& status, int* error) {
    struct stat st {};
    if (stat(resolvePath(path).c_str(), &st) != 0) {
        if (error) *error = errno;
        return false;
    }
    fillStatus(st, status);
    return true;
}

bool fileExists(const std::string& path) {
    FileStatus s;
    return fileStatus(path, s);
}

std::FILE* openFile(const std::string& path, const char* mode) {
    char hostMode[8] = {0};
    std::size_t n = 0;
    for (const char* m = mode; *m && n + 1 < sizeof hostMode; ++m)
        if (*m != 'b' && *m != 't') hostMode[n++] = *m;
    std::string host = hostForm(path);
    // Reading creates nothing, so the name as given can simply be tried
    // first: it opens only when it exists exactly, which is what the
    // look-up would have found. Only a miss pays for the case-blind search.
    if (std::strcmp(hostMode, "r") == 0) {
        if (std::FILE* file = std::fopen(host.c_str(), hostMode)) return file;
    }
    return std::fopen(resolveHost(host).c_str(), hostMode);
}

int makeDirectory(const std::string& path) {
    return mkdir(resolvePath(path).c_str(), 0777) == 0 ? 0 : errno;
}

int removeFile(const std::string& path) {
    return unlink(resolvePath(path).c_str()) == 0 ? 0 : errno;
}

int renameFile(const std::string& from, const std::string& to) {
    return std::rename(resolvePath(from).c_str(), resolvePath(to).c_str()) == 0 ? 0 : errno;
}

int makeWritable(const std::string& path) {
    std::string host = resolvePath(path);
    struct stat st {};
    if (stat(host.c_str(), &st) != 0) return errno;
    return chmod(host.c_str(), st.st_mode | S_IWUSR) == 0 ? 0 : errno;
}

int setFileTimes(const std::string& path, std::time_t access, std::time_t modify) {
    struct timeval tv[2] = {{access, 0}, {modify, 0}};
    return utimes(resolvePath(path).c_str(), tv) == 0 ? 0 : errno;
}

AtomicFile::~AtomicFile() { discard(); }

int AtomicFile::open(const std::string& path) {
    discard();
    target_ = resolvePath(path);
    auto slash = target_.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    std::string leaf = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::string pattern = dir + "." + leaf + ".XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    // The interrupt handler must know of the file from the moment it exists.
    sigset_t interrupts, saved;
    sigemptyset(&interrupts);
    for (int number : {SIGINT, SIGQUIT, SIGTERM, SIGABRT}) sigaddset(&interrupts, number);
    sigprocmask(SIG_BLOCK, &interrupts, &saved);
    int fd = mkstemp(buf.data());
    int createError = errno;
    if (fd >= 0) {
        temporary_ = buf.data();
        slot_ = rememberUnpublished(temporary_);
    }
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    if (fd < 0) return createError;
    // Keep the permissions of the file we replace, or the usual ones.
    struct stat st {};
    mode_t mode = 0666 & ~[] { mode_t m = umask(0); umask(m); return m; }();
    if (stat(target_.c_str(), &st) == 0) mode = st.st_mode & 07777;
    fchmod(fd, mode);
    stream_ = fdopen(fd, "w");
    if (!stream_) {
        int e = errno;
        close(fd);
        unlink(temporary_.c_str());
        temporary_.clear();
        forgetUnpublished(slot_);
        slot_ = -1;
        return e;
    }
    return 0;
}

int AtomicFile::commit() {
    if (!stream_) return EBADF;
    int e = 0;
    if (std::fflush(stream_) != 0) e = errno;
    if (e == 0 && fsync(fileno(stream_)) != 0) e = errno;
    if (std::fclose(stream_) != 0 && e == 0) e = errno;
    stream_ = nullptr;
    if (e == 0 && std::rename(temporary_.c_str(), target_.c_str()) != 0) e = errno;
    if (e != 0) unlink(temporary_.c_str());
    temporary_.clear();
    forgetUnpublished(slot_);
    slot_ = -1;
    return e;
}

void AtomicFile::discard() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
    forgetUnpublished(slot_);
    slot_ = -1;
}

// ---- reading a file from its start -------------------------------------------

namespace {

// O_NONBLOCK: a pipe or device named like a message must not stop the run
// waiting for a writer; on a regular file it changes nothing.
constexpr int readingFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;

int openForReading(const std::string& hostPath) { return ::open(hostPath.c_str(), readingFlags); }

// Reads the first block of `fd` into `start`. True when that is all the
// reader will want: then `fd` is closed. Otherwise it stays open in
// `start.descriptor`, or with `closeAnyway` is closed all the same.
bool readFirstBlock(int fd, FileStart& start, EnoughRead enough, bool closeAnyway = false) {
    start.size = 0;
    start.readError = 0;
    start.descriptor = fd;
    const long n = readSome(fd, start.bytes, FileStart::capacity);
    bool done = true;
    if (n < 0) {
        start.readError = errno;
    } else {
        start.size = static_cast<std::size_t>(n);
        const std::size_t wanted = enough ? enough(start.bytes, start.size) : 0;
        if (wanted != 0 && wanted <= start.size) start.size = wanted;
        // A regular file gives less than asked for only at its end.
        done = wanted != 0 || start.size < FileStart::capacity;
    }
    if (done || closeAnyway) {
        ::close(fd);
        start.descriptor = -1;
    }
    return done;
}

}  // namespace

bool openStart(const std::string& path, FileStart& start, EnoughRead enough) {
    // As openFile: the name as given first, the case-blind search on a miss.
    const std::string host = hostForm(path);
    int fd = openForReading(host);
    if (fd < 0) fd = openForReading(resolveHost(host));
    if (fd < 0) return false;
    readFirstBlock(fd, start, enough);
    return true;
}

long readSome(int descriptor, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(descriptor, buffer, size);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        // A pipe opened without waiting has nothing yet: that is its end here.
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

void closeDescriptor(int descriptor) {
    if (descriptor >= 0) ::close(descriptor);
}

int descriptorOf(std::FILE* stream) { return stream ? fileno(stream) : -1; }

bool startQuietThread(std::thread& thread, std::function<void()> body) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    bool started = true;
    try {
        thread = std::thread(std::move(body));
    } catch (const std::system_error&) {
        started = false;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return started;
}

namespace {

// Opens files of one directory relative to it, sparing the walk of the
// whole path for each.
class DirectoryOpener {
public:
    ~DirectoryOpener() { closeDescriptor(dirFd_); }
    int open(const std::string& hostPath) {
        const std::size_t slash = hostPath.rfind('/');
        if (slash == std::string::npos || slash + 1 == hostPath.size()) return openForReading(hostPath);
        const std::string_view dir(hostPath.data(), slash + 1);
        if (dir != dir_) {
            closeDescriptor(dirFd_);
            dir_.assign(dir);
            dirFd_ = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
        if (dirFd_ < 0) return openForReading(hostPath);
        return ::openat(dirFd_, hostPath.c_str() + slash + 1, readingFlags);
    }

private:
    std::string dir_;
    int dirFd_ = -1;
};

}  // namespace

struct ReadAhead::State {
    // Two threads, each reading every second file: while one waits for
    // the file system the other goes on.
    static constexpr std::size_t lanes = 2;
    // Files held per thread. Each side sleeps only for a batch of them, so
    // that the threads do not wake each other for every file.
    static constexpr std::size_t window = 256;
    static constexpr std::size_t producerBatch = window / 2;  // free slots a thread waits for
    static constexpr std::size_t consumerBatch = 64;         // files the taker waits for

    // A thread keeps no file open: a file that goes on beyond its first
    // block is left to the taker, who opens it again. So the open files
    // never pile up, however many folders are being read at once.
    struct Slot {
        FileStart start;
        bool usable = false;  // opened, and its first block is all that is wanted
    };

    struct Lane {
        Slot slots[window];
        std::size_t size = 0;                  // files of this lane
        std::atomic<std::size_t> produced{0};  // files read, in lane order
        std::atomic<std::size_t> consumed{0};  // files taken
        // While a side sleeps: the count of the other side it waits for (0: awake).
        std::atomic<std::size_t> producerWaitsFor{0};
        std::atomic<std::size_t> consumerWaitsFor{0};
        std::thread worker;
    };

    std::vector<std::string> given;  // unchanged while the threads run
    EnoughRead enough = nullptr;
    Lane lane[lanes];
    std::size_t taken = 0;  // files taken, over all lanes
    std::atomic<bool> stopping{false};
    std::mutex lock;  // only for sleeping and waking
    std::condition_variable wake;

    void run(std::size_t t) {
        Lane& l = lane[t];
        DirectoryOpener opener;
        for (std::size_t j = 0; j < l.size; ++j) {
            if (j >= l.consumed.load() + window) {
                const std::size_t target = j + std::min(producerBatch, l.size - j) - window;
                std::unique_lock<std::mutex> guard(lock);
                l.producerWaitsFor = target;
                wake.wait(guard, [&] { return stopping.load() || l.consumed.load() >= target; });
                l.producerWaitsFor = 0;
            }
            if (stopping) return;
            // The slot is free: the file that used it has been taken.
            Slot& slot = l.slots[j % window];
            const int fd = opener.open(hostForm(given[j * lanes + t]));
            slot.usable = fd >= 0 && readFirstBlock(fd, slot.start, enough, true);
            l.produced = j + 1;
            const std::size_t waited = l.consumerWaitsFor.load();
            if (waited != 0 && j + 1 >= waited) {
                std::lock_guard<std::mutex> guard(lock);
                wake.notify_all();
            }
        }
    }

    void stop() {
        {
            std::lock_guard<std::mutex> guard(lock);
            stopping = true;
        }
        wake.notify_all();
        for (Lane& l : lane)
            if (l.worker.joinable()) l.worker.join();
    }
};

ReadAhead::ReadAhead(std::vector<std::string> paths, EnoughRead enough) : state_(new State) {
    State& s = *state_;
    s.enough = enough;
    s.given = std::move(paths);
    for (std::size_t t = 0; t < State::lanes; ++t) {
        s.lane[t].size = s.given.size() > t ? (s.given.size() - t + State::lanes - 1) / State::lanes : 0;
        if (s.lane[t].size == 0) continue;
        if (!startQuietThread(s.lane[t].worker, [this, t] { state_->run(t); })) {
            // Without its threads every take() misses and the caller reads for itself.
            s.stop();
            s.given.clear();
            return;
        }
    }
}

ReadAhead::~ReadAhead() {
    state_->stop();
    delete state_;
}

bool ReadAhead::take(const std::string& path, FileStart& start) {
    State& s = *state_;
    const std::size_t next = s.taken;
    if (next >= s.given.size() || s.given[next] != path) return false;
    State::Lane& l = s.lane[next % State::lanes];
    const std::size_t j = next / State::lanes;  // only this thread changes l.consumed
    if (l.produced.load() <= j) {
        std::unique_lock<std::mutex> guard(s.lock);
        const std::size_t target = std::min(j + State::consumerBatch, l.size);
        l.consumerWaitsFor = target;
        s.wake.wait(guard, [&] { return l.produced.load() >= target; });
        l.consumerWaitsFor = 0;
    }
    State::Slot& slot = l.slots[j % State::window];
    const bool usable = slot.usable;
    if (usable) {
        start.size = slot.start.size;
        std::memcpy(start.bytes, slot.start.bytes, slot.start.size);
        start.descriptor = -1;
        start.readError = slot.start.readError;
    }
    s.taken = next + 1;
    l.consumed = j + 1;
    const std::size_t waited = l.producerWaitsFor.load();
    if (waited != 0 && j + 1 >= waited) {
        std::lock_guard<std::mutex> guard(s.lock);
        s.wake.notify_all();
    }
    return usable;
}

// ---- directory search -------------------------------------------------------

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    // "*.*" is the DOS spelling of "everything", names without a dot included.
    if (pattern == "*.*" || pattern == "*") return true;
    std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || foldCase(pattern[p]) == foldCase(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    // A trailing ".*" also matches a name without an extension, as on DOS.
    if (p + 2 == pattern.size() && pattern[p] == '.' && pattern[p + 1] == '*') return true;
    return p == pattern.size();
}

std::vector<DirEntry> findEntries(const std::string& searchPath) {
    std::vector<DirEntry> entries;
    std::size_t cut = searchPath.find_last_of("/\\");
    std::string dirPart, pattern;
    if (cut == std::string::npos) {
        if (hasDrive(searchPath)) {
            dirPart = searchPath.substr(0, 2);
            pattern = searchPath.substr(2);
        } else {
            pattern = searchPath;
        }
    } else {
        dirPart = searchPath.substr(0, cut + 1);
        pattern = searchPath.substr(cut + 1);
    }
    std::string dir = dirPart.empty() ? std::string(".") : resolvePath(dirPart);
    if (dir.empty()) dir = ".";
    DIR* d = opendir(dir.c_str());
    if (!d) return entries;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        if (wildcardMatch(pattern, e->d_name)) names.emplace_back(e->d_name);
    }
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    entries.reserve(names.size());
    // Each entry is asked for relative to the open directory: one status
    // call, and a second only for a link, instead of two walks of the
    // whole path per entry.
    const int dirFd = dirfd(d);
    for (auto& name : names) {
        DirEntry entry;
        struct stat st {};
        if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // vanished while we looked
        bool known = true;
        if (S_ISLNK(st.st_mode)) {
            entry.isLink = true;
            known = fstatat(dirFd, name.c_str(), &st, 0) == 0;  // a dangling link keeps no status
        }
        if (known) {
            if (S_ISDIR(st.st_mode)) entry.attributes |= attributeDirectory;
            entry.size = static_cast<std::int64_t>(st.st_size);
            entry.changeTime = changeTimeOf(st);
            entry.modifyTime = st.st_mtime;
            entry.accessTime = st.st_atime;
        }
        entry.name = std::move(name);
        entries.push_back(std::move(entry));
    }
    closedir(d);
    return entries;
}

struct ListingsAhead::State {
    static constexpr std::size_t lead = 4;  // listings held at a time

    std::vector<std::string> given;  // unchanged while the thread runs
    std::vector<std::vector<DirEntry>> listed;
    std::size_t produced = 0, consumed = 0;  // under `lock`
    bool stopping = false;
    std::mutex lock;
    std::condition_variable wake;
    std::thread worker;

    void run() {
        for (std::size_t i = 0; i < given.size(); ++i) {
            {
                std::unique_lock<std::mutex> guard(lock);
                wake.wait(guard, [&] { return stopping || i < consumed + lead; });
                if (stopping) return;
            }
            std::vector<DirEntry> entries = findEntries(given[i]);
            {
                std::lock_guard<std::mutex> guard(lock);
                listed[i] = std::move(entries);
                produced = i + 1;
            }
            wake.notify_all();
        }
    }
};

ListingsAhead::ListingsAhead(std::vector<std::string> searchPaths) : state_(new State) {
    State& s = *state_;
    s.given = std::move(searchPaths);
    s.listed.resize(s.given.size());
    if (!s.given.empty() && !startQuietThread(s.worker, [this] { state_->run(); })) s.given.clear();
}

ListingsAhead::~ListingsAhead() {
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    if (state_->worker.joinable()) state_->worker.join();
    delete state_;
}

bool ListingsAhead::take(const std::string& searchPath, std::vector<DirEntry>& entries) {
    State& s = *state_;
    std::unique_lock<std::mutex> guard(s.lock);
    const std::size_t next = s.consumed;
    if (next >= s.given.size() || s.given[next] != searchPath) return false;
    s.wake.wait(guard, [&] { return s.produced > next; });
    entries = std::move(s.listed[next]);
    s.consumed = next + 1;
    guard.unlock();
    s.wake.notify_all();
    return true;
}

// ---- current drive and directory -------------------------------------------

int currentDrive() { return 3; }

// Every drive letter names the one root, so any of them can be "changed to".
bool changeDrive(int drive) { return drive >= 1 && drive <= 26; }

std::string currentDirectory() {
    std::vector<char> buf(4096);
    while (getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) return std::string();
        buf.resize(buf.size() * 2);
    }
    std::string dir = buf.data();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

bool changeDirectory(const std::string& path) {
    std::string host = resolvePath(path);
    if (host.empty()) return false;
    return chdir(host.c_str()) == 0;
}

// ---- time -------------------------------------------------------------------

bool localTime(std::time_t t, std::tm& out) { return localtime_r(&t, &out) != nullptr; }

bool universalTime(std::time_t t, std::tm& out) { return gmtime_r(&t, &out) != nullptr; }

// ---- programs ---------------------------------------------------------------

char pathListSeparator() { return ':'; }
const char* pathSeparator() { return "/"; }
const char* zipProgramName() { return "zip"; }
const char* unzipProgramName() { return "unzip"; }

int spawnAndWait(const std::string& path, const std::vector<std::string>& argv, int& error) {
    std::string host = resolvePath(path);
    // posix_spawn reports a missing program only through the child's exit
    // status on some systems; look first so that "not started" is certain.
    if (access(host.c_str(), X_OK) != 0) {
        error = errno;
        return -1;
    }
    struct stat st {};
    if (stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        error = EACCES;
        return -1;
    }
    std::vector<std::string> copies(argv);
    std::vector<char*> args;
    args.reserve(copies.size() + 1);
    for (auto& a : copies) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, host.c_str(), nullptr, nullptr, args.data(), environ);
    if (rc != 0) {
        error = rc;
        return -1;
    }
    runningChild = static_cast<sig_atomic_t>(pid);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            runningChild = 0;
            error = errno;
            return -1;
        }
    }
    runningChild = 0;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
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
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string createTemporaryFile() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/archiver-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = mkstemp(buf.data());
    if (fd < 0) return std::string();
    close(fd);
    return buf.data();
}

const char* environmentValue(const char* name) { return std::getenv(name); }

// ---- console ----------------------------------------------------------------

bool standardInputIsTerminal() { return isatty(0) == 1; }

bool keyWaiting() {
    pollfd p{0, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return false;
    // End of input also polls as readable; only real bytes count as keys.
    if (standardInputIsTerminal()) return (p.revents & POLLIN) != 0;
    return (p.revents & POLLIN) != 0 && (p.revents & POLLHUP) == 0;
}

int readKey() {
    unsigned char c = 0;
    if (!standardInputIsTerminal()) {
        ssize_t n;
        do {
            n = read(0, &c, 1);
        } while (n < 0 && errno == EINTR);
        return n == 1 ? c : -1;
    }
    termios saved {};
    if (tcgetattr(0, &saved) != 0) return -1;
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(0, TCSANOW, &raw);
    ssize_t n;
    do {
        n = read(0, &c, 1);
    } while (n < 0 && errno == EINTR);
    tcsetattr(0, TCSANOW, &saved);
    return n == 1 ? c : -1;
}

// ---- signals ----------------------------------------------------------------

bool installSignalHandler(Signal which, void (*handler)(int)) {
    int number = SIGINT;
    switch (which) {
        case Signal::interrupt: number = SIGINT; break;
        case Signal::breakKey: number = SIGQUIT; break;
        case Signal::terminate: number = SIGTERM; break;
        case Signal::abort: number = SIGABRT; break;
    }
    // Our own handler runs first and removes unpublished temporaries.
    installedHandlers[number] = handler;
    struct sigaction action {};
    action.sa_handler = handler == SIG_DFL || handler == SIG_IGN ? handler : handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    return sigaction(number, &action, nullptr) == 0;
}

void writeRaw(int fd, const char* text, std::size_t length) {
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

void appendRaw(const char* path, const char* text, std::size_t length) {
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0666);
    if (fd < 0) return;
    writeRaw(fd, text, length);
    close(fd);
}

void unlinkRaw(const char* path) { unlink(path); }

void exitImmediately(int status) { _exit(status); }

}  // namespace platform
