#include "signals.h"

#include "cleanup_registry.h"
#include "signals_shared.h"
#include "win32_shared.h"

#include <csignal>
#include <cstring>

namespace platform {

namespace {

// Ctrl+C and Ctrl+Break come through the console on a thread the system
// starts for them, while the main thread runs on; SIGTERM and SIGABRT
// come through the C runtime on the thread that raised them.
CRITICAL_SECTION interruptGuard;
const bool guardReady = [] {
    InitializeCriticalSection(&interruptGuard);
    return true;
}();

HANDLE mainThread = nullptr;
DWORD mainThreadId = 0;
bool consoleHandlerInstalled = false;

// Holds interrupts off for good and stops the main thread where it is, so
// that it neither makes a new temporary nor races the handler to the end;
// then does what every interrupt does.
void runHandler(Signal which) {
    EnterCriticalSection(&interruptGuard);
    if (mainThread && GetCurrentThreadId() != mainThreadId) SuspendThread(mainThread);
    handleInterrupt(which);
}

BOOL WINAPI onConsoleControl(DWORD event) {
    Signal which;
    if (event == CTRL_C_EVENT) which = Signal::interrupt;
    else if (event == CTRL_BREAK_EVENT) which = Signal::breakKey;
    else return FALSE;  // closing the window, logging off: the system's default
    if (!interruptHandled(which)) return FALSE;
    runHandler(which);
    return TRUE;
}

void onRuntimeSignal(int number) { runHandler(number == SIGTERM ? Signal::terminate : Signal::abort); }

// Text-mode line ends, as the C runtime writes the other lines of the
// same console and report file; no heap, no C runtime locks.
void writeLines(HANDLE to, const char* text, std::size_t length) {
    DWORD written = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != '\n') continue;
        if (i > start) WriteFile(to, text + start, static_cast<DWORD>(i - start), &written, nullptr);
        if (i < length) WriteFile(to, "\r\n", 2, &written, nullptr);
        start = i + 1;
    }
}

}  // namespace

InterruptsHeldOff::InterruptsHeldOff() { EnterCriticalSection(&interruptGuard); }
InterruptsHeldOff::~InterruptsHeldOff() { LeaveCriticalSection(&interruptGuard); }

bool catchSignal(Signal which) {
    (void)guardReady;
    if (!mainThread) {
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread,
                        THREAD_SUSPEND_RESUME, FALSE, 0);
        mainThreadId = GetCurrentThreadId();
    }
    switch (which) {
        case Signal::interrupt:
        case Signal::breakKey:
            if (!consoleHandlerInstalled) consoleHandlerInstalled = SetConsoleCtrlHandler(onConsoleControl, TRUE) != 0;
            return consoleHandlerInstalled;
        case Signal::terminate: return std::signal(SIGTERM, onRuntimeSignal) != SIG_ERR;
        case Signal::abort: return std::signal(SIGABRT, onRuntimeSignal) != SIG_ERR;
    }
    return false;
}

void writeStandardErrorRaw(const char* text, std::size_t length) {
    writeLines(GetStdHandle(STD_ERROR_HANDLE), text, length);
}

void appendRaw(const char* path, const char* text, std::size_t length) {
    // The system's separators, in a buffer of our own: no heap here.
    char host[MAX_PATH + 1];
    std::size_t n = 0;
    for (; path[n] && n < MAX_PATH; ++n) host[n] = path[n] == '/' ? '\\' : path[n];
    if (path[n]) return;
    host[n] = '\0';
    HANDLE h = CreateFileA(host, FILE_APPEND_DATA, shareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    writeLines(h, text, length);
    CloseHandle(h);
}

void unlinkRaw(const char* path) { DeleteFileA(path); }

namespace {

// `path` (length `length` in a buffer of MAX_PATH + 1) emptied and removed,
// `depth` levels of directories below it at most. A link or junction is
// removed, never entered. Buffers on the stack: the handler must not take
// the heap's lock, which the stopped main thread may hold.
void removeTree(char* path, std::size_t length, int depth) {
    if (length + 3 <= MAX_PATH) {
        std::memcpy(path + length, "\\*", 3);
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(path, &found);
        path[length] = '\0';
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const char* name = found.cFileName;
                if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
                const std::size_t nameLength = std::strlen(name);
                if (length + 1 + nameLength > MAX_PATH) continue;
                path[length] = '\\';
                std::memcpy(path + length + 1, name, nameLength + 1);
                const DWORD attributes = found.dwFileAttributes;
                // unzip may have set the read-only bit the archive kept.
                if (attributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesA(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
                if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(path);
                else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) RemoveDirectoryA(path);
                else if (depth > 0) removeTree(path, length + 1 + nameLength, depth - 1);
                path[length] = '\0';
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
    }
    RemoveDirectoryA(path);
}

}  // namespace

void removeDirectoryRaw(const char* path) {
    char buffer[MAX_PATH + 1];
    const std::size_t length = std::strlen(path);
    if (length == 0 || length > MAX_PATH) return;
    std::memcpy(buffer, path, length + 1);
    // unzip puts files, and perhaps a directory, into a staging folder.
    removeTree(buffer, length, 4);
}

// No C runtime clean-up: the main thread may be stopped inside it.
void exitImmediately(int status) {
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    for (;;) Sleep(INFINITE);
}

}  // namespace platform
