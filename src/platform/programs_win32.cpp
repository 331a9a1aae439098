#include "programs.h"

#include "cleanup_registry.h"
#include "programs_shared.h"
#include "win32_shared.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace platform {

namespace {

// Starts `commandLine` (the program at `application`, or found by the
// system when that is null) with our standard handles and waits for it:
// its exit status, or -1 with `error` set when it did not start. With
// `onOutput` its standard output is a pipe, read to its end before the
// program is waited for, and its standard error goes to NUL.
int createAndWait(const char* application, std::string commandLine, StartedFrom from, Error& error,
                  const OutputBlocks* onOutput = nullptr) {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    HANDLE nowhere = INVALID_HANDLE_VALUE;
    if (onOutput) {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
            error = lastError();
            return -1;
        }
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);  // only the write end goes to the child
        nowhere = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = onOutput ? writeEnd : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = nowhere != INVALID_HANDLE_VALUE ? nowhere : GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(application, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    if (!started) error = lastError();
    // The child holds the only write end now: its end is our end of file.
    if (writeEnd) CloseHandle(writeEnd);
    if (nowhere != INVALID_HANDLE_VALUE) CloseHandle(nowhere);
    if (!started) {
        if (readEnd) CloseHandle(readEnd);
        return -1;
    }
    CloseHandle(process.hThread);
    // The handler knows only the main thread's child; a helper's writes
    // nothing and gets the console's Ctrl+C by itself.
    const bool registered = from == StartedFrom::mainThread;
    if (registered) setRunningChild(reinterpret_cast<std::intptr_t>(process.hProcess));
    if (readEnd) {
        char block[64 * 1024];
        DWORD got = 0;
        while (ReadFile(readEnd, block, sizeof block, &got, nullptr) && got > 0) (*onOutput)(block, got);
        CloseHandle(readEnd);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    if (registered) setRunningChild(0);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    // A Ctrl+C reaches the child and us through the console we share, each
    // on a thread the system starts: the child may have ended before our
    // handler runs. A child that failed therefore gives the handler a
    // moment to stop this thread before the run goes on as if zip had
    // failed by itself.
    if (status != 0) Sleep(500);
    return static_cast<int>(status);
}

// The program name as the C runtime takes argv[0]: up to the closing
// quote, with no escapes.
std::string quotedProgram(const std::string& name) {
    if (!name.empty() && name.find_first_of(" \t") == std::string::npos) return name;
    return "\"" + name + "\"";
}

}  // namespace

std::string commandLineOf(const std::vector<std::string>& argv) {
    std::string line;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& argument = argv[i];
        if (i == 0) {
            line = quotedProgram(argument);
            continue;
        }
        line += ' ';
        if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += argument;
            continue;
        }
        // Backslashes are doubled only where a quote follows them.
        line += '"';
        std::size_t backslashes = 0;
        for (char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            backslashes = 0;
            line += c;
        }
        line.append(2 * backslashes, '\\');
        line += '"';
    }
    return line;
}

void stopRunningChild(Signal which) {
    HANDLE child = reinterpret_cast<HANDLE>(runningChild());
    if (!child) return;
    // Ctrl+C and Ctrl+Break reached the child through the console it shares
    // with us: give it time to clean up after itself (zip removes its
    // temporary archive). A terminate or abort of our own reaches it only
    // this way.
    const DWORD grace = (which == Signal::interrupt || which == Signal::breakKey) ? 5000 : 0;
    if (WaitForSingleObject(child, grace) != WAIT_OBJECT_0) {
        TerminateProcess(child, 1);
        WaitForSingleObject(child, 5000);
    }
}

char pathListSeparator() { return ';'; }
const char* executableSuffix() { return ".exe"; }

namespace {

// The program at `host` can be started: it is there and no directory.
bool canStart(const std::string& host, Error& error) {
    const DWORD attributes = GetFileAttributesA(host.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = lastError();
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = Error{ERROR_ACCESS_DENIED};
        return false;
    }
    return true;
}

}  // namespace

int startAndWait(StartedFrom from, const std::string& path, const std::vector<std::string>& argv, Error& error) {
    const std::string host = hostForm(path);
    if (!canStart(host, error)) return -1;
    return createAndWait(host.c_str(), commandLineOf(argv), from, error);
}

int spawnReadingOutput(const std::string& path, const std::vector<std::string>& argv, const OutputBlocks& onOutput,
                       Error& error) {
    const std::string host = hostForm(path);
    if (!canStart(host, error)) return -1;
    return createAndWait(host.c_str(), commandLineOf(argv), StartedFrom::helperThread, error, &onOutput);
}

// CreateProcess takes at most 32,767 characters, program path included.
std::size_t commandLineLimit() { return 32767; }

bool redirectStandardInput(const std::string& path) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE h = CreateFileA(hostForm(path).c_str(), GENERIC_READ, shareAll, &inheritable, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    // The C runtime's descriptor 0 and the system's standard input both
    // become the file: the started programs get the latter.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return false;
    }
    if (fd != 0) {
        const int moved = _dup2(fd, 0);
        _close(fd);
        if (moved != 0) return false;
    }
    HANDLE in = reinterpret_cast<HANDLE>(_get_osfhandle(0));
    SetHandleInformation(in, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return SetStdHandle(STD_INPUT_HANDLE, in) != 0;
}

// %COMSPEC% /S /C "command line": /S takes the outer quotes away and
// leaves the rest exactly as it is, quotes and redirection included.
int runCommandInterpreter(const std::string& commandLine) {
    const char* comspec = std::getenv("COMSPEC");
    const std::string interpreter = comspec && *comspec ? comspec : "cmd.exe";
    Error error;
    return createAndWait(nullptr, quotedProgram(interpreter) + " /S /C \"" + commandLine + "\"", StartedFrom::mainThread,
                         error);
}

std::string interpreterWord(const std::string& text) {
    bool plain = !text.empty();
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || std::strchr("/\\._-+:", c)))
            plain = false;
    // A Windows name cannot hold a quote, so quoting is all there is to it.
    return plain ? text : "\"" + text + "\"";
}

void fromConsoleCodePage(std::string& text) {
    if (!text.empty()) OemToCharBuffA(text.data(), &text[0], static_cast<DWORD>(text.size()));
}

std::string createTemporaryFile() {
    char dir[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n > MAX_PATH) return std::string();
    char name[MAX_PATH + 1];
    InterruptsHeldOff held;
    if (GetTempFileNameA(dir, "arc", 0, name) == 0) return std::string();
    if (rememberFile(name) < 0) {
        DeleteFileA(name);
        return std::string();
    }
    return name;
}

const char* environmentValue(const char* name) {
    if (const char* value = std::getenv(name)) return value;
    // The C runtime drops a variable set to nothing; the system keeps it,
    // and set is set, whatever its value.
    char probe[1];
    SetLastError(ERROR_SUCCESS);
    return GetEnvironmentVariableA(name, probe, sizeof probe) == 0 && GetLastError() != ERROR_ENVVAR_NOT_FOUND ? ""
                                                                                                              : nullptr;
}

long currentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

}  // namespace platform
