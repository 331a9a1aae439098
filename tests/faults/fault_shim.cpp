// A preloaded library that makes the file calls of one program fail, or
// stops the program, at a chosen call. Loaded with LD_PRELOAD into the
// programs under test; zip, unzip and the shell inherit it but stay
// untouched unless FAULT_PROGRAM names them.
//
// Environment:
//   FAULT_PROGRAM   program (short name) whose calls count; default "archiver",
//                   "*" for every program
//   FAULT_CALLS     comma-separated kinds that count: write, flush, close, sync,
//                   rename, unlink, mkdir, read; default every kind but read
//   FAULT_AFTER     calls numbered 1, 2, ...: every counted call after the
//                   first N fails, as on a disk that has filled up
//   FAULT_ONLY      with FAULT_AFTER: only call N+1 fails (a single bad write)
//   FAULT_ERRNO     ENOSPC (default), EIO or EFBIG
//   FAULT_SIGNAL_AT the process is sent FAULT_SIGNAL (a number, default 9) on
//                   its Nth counted call, before the call is made
//   FAULT_EXEC_AT   on its Nth counted call, before the call is made, the
//                   process runs FAULT_EXEC with /bin/sh -c and waits for it
//                   (a second run meeting this one at that point; the
//                   command must not preload this library again)
//   FAULT_THREAD_READS  "fail": every read of the program's other threads
//                   fails with FAULT_ERRNO, uncounted (the reading threads
//                   then leave every file to the main thread)
//   FAULT_COUNT_FILE at a normal end, the number of counted calls is
//                   appended here as a decimal line
//   FAULT_TRACE_FILE at a normal end, the kinds of the counted calls in
//                   their order, one letter each (w f c s r u m R, as listed
//                   under FAULT_CALLS; the first 64 KiB calls), are written
//                   here
//
// Only the calls of the program's main thread count (and fail): the
// program's reading threads run ahead of it at a pace of their own, so
// that counting their calls would number the points of the same run
// differently from one run to the next.
//
// The stream calls are intercepted as well as the descriptor calls because
// the C library's streams write through its own internal entry points,
// which no preloaded library can replace.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char* program_invocation_short_name;

namespace {

enum Kind : unsigned {
    kindWrite = 1,
    kindFlush = 2,
    kindClose = 4,
    kindSync = 8,
    kindRename = 16,
    kindUnlink = 32,
    kindMkdir = 64,
    kindRead = 128,
};

// The letter of a kind in the trace: its bit's place in "wfcsrumR".
char letterOf(Kind kind) {
    const char* letters = "wfcsrumR";
    for (unsigned bit = 0; bit < 8; ++bit)
        if (kind == 1u << bit) return letters[bit];
    return '?';
}

struct Config {
    bool active = false;
    unsigned kinds = 0;
    long after = -1;
    bool only = false;
    int error = ENOSPC;
    long signalAt = -1;
    int signalNumber = SIGKILL;
    const char* countFile = nullptr;
    const char* traceFile = nullptr;
    long execAt = -1;
    const char* execCommand = nullptr;
    bool threadReadsFail = false;
};

Config config;
std::atomic<long> counted{0};
bool configured = false;
char trace[64 * 1024];

long numberFrom(const char* name, long fallback) {
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    return std::strtol(v, nullptr, 10);
}

unsigned kindsFrom(const char* text) {
    if (!text || !*text) return kindWrite | kindFlush | kindClose | kindSync | kindRename | kindUnlink | kindMkdir;
    static const struct {
        const char* name;
        unsigned kind;
    } names[] = {{"write", kindWrite}, {"flush", kindFlush},   {"close", kindClose}, {"sync", kindSync},
                 {"rename", kindRename}, {"unlink", kindUnlink}, {"mkdir", kindMkdir}, {"read", kindRead}};
    unsigned kinds = 0;
    for (const auto& n : names) {
        const char* at = std::strstr(text, n.name);
        if (at) kinds |= n.kind;
    }
    return kinds;
}

void configure() {
    if (configured) return;
    configured = true;
    const char* program = std::getenv("FAULT_PROGRAM");
    if (!program || !*program) program = "archiver";
    config.active = std::strcmp(program, "*") == 0 ||
                    (program_invocation_short_name && std::strcmp(program_invocation_short_name, program) == 0);
    config.kinds = kindsFrom(std::getenv("FAULT_CALLS"));
    config.after = numberFrom("FAULT_AFTER", -1);
    config.only = numberFrom("FAULT_ONLY", 0) != 0;
    const char* e = std::getenv("FAULT_ERRNO");
    if (e && std::strcmp(e, "EIO") == 0) config.error = EIO;
    if (e && std::strcmp(e, "EFBIG") == 0) config.error = EFBIG;
    config.signalAt = numberFrom("FAULT_SIGNAL_AT", -1);
    config.signalNumber = static_cast<int>(numberFrom("FAULT_SIGNAL", SIGKILL));
    config.execAt = numberFrom("FAULT_EXEC_AT", -1);
    config.execCommand = std::getenv("FAULT_EXEC");
    const char* threadReads = std::getenv("FAULT_THREAD_READS");
    config.threadReadsFail = threadReads && std::strcmp(threadReads, "fail") == 0;
    config.countFile = std::getenv("FAULT_COUNT_FILE");
    config.traceFile = std::getenv("FAULT_TRACE_FILE");
}

// Runs `command` and waits for it, as system() would, but without its
// signal changes, so that the program's own handlers stay as they are.
void runCommand(const char* command) {
    const pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child > 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

// The main thread of a process is the one whose thread id is the process id.
bool onMainThread() { return syscall(SYS_gettid) == getpid(); }

// True when this call is to fail; errno is then set. Raises the signal
// when this is the call to stop at.
bool injected(Kind kind) {
    if (!onMainThread()) {
        // configure() ran on the main thread before any other thread began.
        if (!configured || !config.active || !config.threadReadsFail || kind != kindRead) return false;
        errno = config.error;
        return true;
    }
    configure();
    if (!config.active || !(config.kinds & kind)) return false;
    long n = ++counted;
    if (n <= static_cast<long>(sizeof trace)) trace[n - 1] = letterOf(kind);
    if (n == config.execAt && config.execCommand) runCommand(config.execCommand);
    // Sent to the process, as an interrupt from outside is.
    if (n == config.signalAt) kill(getpid(), config.signalNumber);
    if (config.after < 0) return false;
    if (config.only ? n != config.after + 1 : n <= config.after) return false;
    errno = config.error;
    return true;
}

bool isConsole(FILE* f) { return f == stdout || f == stderr || f == stdin; }

// A stream on a full disk loses what it held and remembers the error.
void failStream(FILE* f) {
    if (!f) return;
    __fpurge(f);
    f->_flags |= _IO_ERR_SEEN;
}

template <typename F>
F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// Straight to the system, past the intercepted calls of this library.
void writeOut(const char* path, int flags, const char* bytes, size_t size) {
    int fd = static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_CREAT | flags, 0644));
    if (fd < 0) return;
    syscall(SYS_write, fd, bytes, size);
    syscall(SYS_close, fd);
}

// The count at a normal end, for the tests that first measure how many
// points a run has, and what each point was.
__attribute__((destructor)) void reportCount() {
    if (!config.active) return;
    const long n = counted.load();
    if (config.countFile) {
        char text[32];
        int length = std::snprintf(text, sizeof text, "%ld\n", n);
        if (length > 0) writeOut(config.countFile, O_APPEND, text, static_cast<size_t>(length));
    }
    if (config.traceFile)
        writeOut(config.traceFile, O_TRUNC, trace, static_cast<size_t>(std::min(n, static_cast<long>(sizeof trace))));
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* buf, size_t count) {
    static auto next = real<ssize_t (*)(int, const void*, size_t)>("write");
    if (fd > 2 && injected(kindWrite)) return -1;
    return next(fd, buf, count);
}

ssize_t read(int fd, void* buf, size_t count) {
    static auto next = real<ssize_t (*)(int, void*, size_t)>("read");
    if (fd > 2 && injected(kindRead)) return -1;
    return next(fd, buf, count);
}

int close(int fd) {
    static auto next = real<int (*)(int)>("close");
    if (fd > 2 && injected(kindClose)) {
        next(fd);
        return -1;
    }
    return next(fd);
}

int fsync(int fd) {
    static auto next = real<int (*)(int)>("fsync");
    if (injected(kindSync)) return -1;
    return next(fd);
}

int rename(const char* from, const char* to) {
    static auto next = real<int (*)(const char*, const char*)>("rename");
    if (injected(kindRename)) return -1;
    return next(from, to);
}

int unlink(const char* path) {
    static auto next = real<int (*)(const char*)>("unlink");
    if (injected(kindUnlink)) return -1;
    return next(path);
}

int mkdir(const char* path, mode_t mode) {
    static auto next = real<int (*)(const char*, mode_t)>("mkdir");
    if (injected(kindMkdir)) return -1;
    return next(path, mode);
}

size_t fwrite(const void* data, size_t size, size_t n, FILE* f) {
    static auto next = real<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite");
    if (!isConsole(f) && injected(kindWrite)) {
        failStream(f);
        return 0;
    }
    return next(data, size, n, f);
}

int fputc(int c, FILE* f) {
    static auto next = real<int (*)(int, FILE*)>("fputc");
    if (!isConsole(f) && injected(kindWrite)) {
        failStream(f);
        return EOF;
    }
    return next(c, f);
}

int fputs(const char* s, FILE* f) {
    static auto next = real<int (*)(const char*, FILE*)>("fputs");
    if (!isConsole(f) && injected(kindWrite)) {
        failStream(f);
        return EOF;
    }
    return next(s, f);
}

int fprintf(FILE* f, const char* format, ...) {
    if (!isConsole(f) && injected(kindWrite)) {
        failStream(f);
        return -1;
    }
    va_list args;
    va_start(args, format);
    int n = std::vfprintf(f, format, args);
    va_end(args);
    return n;
}

int fflush(FILE* f) {
    static auto next = real<int (*)(FILE*)>("fflush");
    if (f && !isConsole(f) && injected(kindFlush)) {
        failStream(f);
        return EOF;
    }
    return next(f);
}

int fclose(FILE* f) {
    static auto next = real<int (*)(FILE*)>("fclose");
    if (!isConsole(f) && injected(kindClose)) {
        int error = errno;
        failStream(f);
        next(f);
        errno = error;
        return EOF;
    }
    return next(f);
}

int getc(FILE* f) {
    static auto next = real<int (*)(FILE*)>("getc");
    if (!isConsole(f) && injected(kindRead)) {
        f->_flags |= _IO_ERR_SEEN;
        return EOF;
    }
    return next(f);
}

int fgetc(FILE* f) {
    static auto next = real<int (*)(FILE*)>("fgetc");
    if (!isConsole(f) && injected(kindRead)) {
        f->_flags |= _IO_ERR_SEEN;
        return EOF;
    }
    return next(f);
}

char* fgets(char* s, int n, FILE* f) {
    static auto next = real<char* (*)(char*, int, FILE*)>("fgets");
    if (!isConsole(f) && injected(kindRead)) {
        f->_flags |= _IO_ERR_SEEN;
        return nullptr;
    }
    return next(s, n, f);
}

size_t fread(void* data, size_t size, size_t n, FILE* f) {
    static auto next = real<size_t (*)(void*, size_t, size_t, FILE*)>("fread");
    if (!isConsole(f) && injected(kindRead)) {
        f->_flags |= _IO_ERR_SEEN;
        return 0;
    }
    return next(data, size, n, f);
}

}  // extern "C"
