// The system-specific fixtures on Windows. Names are handed to the "A"
// functions as they are, in the ANSI code page, as the programs under test
// do.
#include "test_support.h"

#include "programs.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <stdexcept>
#include <thread>

namespace testing_support {

namespace {

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void removeTree(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        for (const auto& name : listDirectory(path)) removeTree(path + "/" + name);
        RemoveDirectoryA(path.c_str());
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryA(path.c_str());
    } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

std::string nameOf(const std::string& entry) {
    // "=C:=C:\dir" entries start with the '=' of their hidden name.
    const std::size_t equals = entry.find('=', 1);
    return lowerAscii(entry.substr(0, equals));
}

// The environment block for a child: ours, with PATH prefixed and the
// extra entries replacing those of the same name.
std::string environmentBlock(const RunOptions& options) {
    std::vector<std::string> entries;
    if (char* block = GetEnvironmentStringsA()) {
        for (const char* e = block; *e; e += std::strlen(e) + 1) entries.emplace_back(e);
        FreeEnvironmentStringsA(block);
    }
    for (auto& entry : entries)
        if (!options.pathPrefix.empty() && nameOf(entry) == "path")
            entry = entry.substr(0, 5) + options.pathPrefix + ";" + entry.substr(5);
    for (const auto& extra : options.env) {
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const std::string& e) { return nameOf(e) == nameOf(extra); }),
                      entries.end());
        entries.push_back(extra);
    }
    std::string block;
    for (const auto& entry : entries) {
        block += entry;
        block += '\0';
    }
    block += '\0';
    return block;
}

std::string backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void readAll(HANDLE from, std::string& into) {
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) into.append(buffer, got);
}

// Console text as the tests compare it: the programs write their lines in
// text mode, which ends them with CR LF on Windows.
void dropLineEndCarriageReturns(std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    text.swap(out);
}

}  // namespace

// A death test runs again on Windows in a new process, from the start of
// the test, instead of going on from a fork. So that what the dying part
// does to the files is seen as on POSIX, a test's directories are named
// after the run, the test and their order in it, and the rerun takes over
// the ones its parent made.
TempDir::TempDir() {
    char base[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length > MAX_PATH) throw std::runtime_error("GetTempPath failed");
    std::string root(base, length);
    std::replace(root.begin(), root.end(), '\\', '/');
    if (!root.empty() && root.back() == '/') root.pop_back();

    const char* runVariable = "ARCHIVER_TEST_RUN";
    if (!std::getenv(runVariable))
        setEnvironment(runVariable, std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()));
    static std::string currentTest;
    static unsigned counter = 0;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string test = info ? std::string(info->test_suite_name()) + "." + info->name() : std::string();
    if (test != currentTest) {
        currentTest = test;
        counter = 0;
    }
    const bool rerun = std::strstr(GetCommandLineA(), "--gtest_internal_run_death_test") != nullptr;
    const std::string name = root + "/archiver-test-" + std::getenv(runVariable) + "-" +
                             std::to_string(std::hash<std::string>()(test) % 1000000) + "-" + std::to_string(++counter);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = attempt == 0 ? name : name + "-" + std::to_string(attempt);
        if (CreateDirectoryA(candidate.c_str(), nullptr) || (rerun && attempt == 0 && isDirectory(candidate))) {
            path_ = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("cannot make a temporary directory");
}

TempDir::~TempDir() { removeTree(path_); }

void makeDirectories(const std::string& path) {
    std::string current;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        current += part;
        // A drive ("C:") and the root are there already.
        if (!part.empty() && !(start == 0 && part.size() == 2 && part[1] == ':'))
            CreateDirectoryA(current.c_str(), nullptr);
        if (end < path.size()) current += '/';
        start = end + 1;
    }
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void setModifyTime(const std::string& path, std::time_t when) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    // FILETIME counts 100 ns steps from 1601.
    const ULONGLONG ticks = (static_cast<ULONGLONG>(when) + 11644473600ULL) * 10000000ULL;
    FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SetFileTime(h, nullptr, &ft, &ft);
    CloseHandle(h);
}

std::vector<std::string> listDirectory(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((path + "/*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

RunResult run(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
    RunResult result;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite, inRead, inWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inheritable, 0)) return result;
    if (!CreatePipe(&errRead, &errWrite, &inheritable, 0)) return result;
    const bool fromNul = options.input.empty() && options.inputFromDevNull;
    if (fromNul) {
        inRead = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                             nullptr);
    } else if (!CreatePipe(&inRead, &inWrite, &inheritable, 0)) {
        return result;
    }
    for (HANDLE ours : {outRead, errRead, inWrite})
        if (ours) SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);

    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string commandLine = platform::commandLineOf(argv);
    std::string environment = environmentBlock(options);
    const std::string application = backslashed(program);
    const std::string workDir = backslashed(options.workDir);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(application.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, &environment[0],
                                        workDir.empty() ? nullptr : workDir.c_str(), &startup, &process);
    const DWORD startError = started ? 0 : GetLastError();
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    CloseHandle(inRead);
    if (!started) {
        // The failure is told, so that a run that never started says why.
        result.err = "CreateProcess failed with error " + std::to_string(startError) + "\n";
        if (inWrite) CloseHandle(inWrite);
        CloseHandle(outRead);
        CloseHandle(errRead);
        result.status = 127;  // as a failed exec reports it on POSIX
        return result;
    }
    CloseHandle(process.hThread);

    std::thread writer([&] {
        if (!inWrite) return;
        DWORD written = 0;
        if (!options.input.empty())
            WriteFile(inWrite, options.input.data(), static_cast<DWORD>(options.input.size()), &written, nullptr);
        CloseHandle(inWrite);
    });
    std::thread errors([&] { readAll(errRead, result.err); });
    readAll(outRead, result.out);
    const DWORD waited = WaitForSingleObject(process.hProcess, static_cast<DWORD>(options.timeoutSeconds) * 1000);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 128 + 9);
    WaitForSingleObject(process.hProcess, INFINITE);
    errors.join();
    writer.join();
    CloseHandle(outRead);
    CloseHandle(errRead);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    result.status = static_cast<int>(status);
    dropLineEndCarriageReturns(result.out);
    dropLineEndCarriageReturns(result.err);
    return result;
}

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    const std::string list = path ? path : "";
    const bool hasExtension = name.find('.') != std::string::npos;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        const std::string dir = list.substr(start, end - start);
        for (const std::string& candidate :
             {(dir.empty() ? "." : dir) + "/" + name + (hasExtension ? "" : ".exe"), (dir.empty() ? "." : dir) + "/" + name})
            if (exists(candidate) && !isDirectory(candidate)) return candidate;
        start = end + 1;
    }
    return std::string();
}

std::uint64_t fileIdentity(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info;
    std::uint64_t identity = 0;
    if (GetFileInformationByHandle(h, &info))
        identity = (static_cast<std::uint64_t>(info.dwVolumeSerialNumber) << 40) ^
                   ((static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
    CloseHandle(h);
    return identity;
}

std::string canonicalPath(const std::string& path) {
    char full[MAX_PATH + 1];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    std::string out = n > 0 && n <= MAX_PATH ? std::string(full, n) : path;
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

void writeStandIn(const std::string& dir, const std::string& name, const std::string& instructions) {
    makeDirectories(dir);
    if (!CopyFileA(STAND_IN_BIN, (dir + "/" + name).c_str(), FALSE))
        throw std::runtime_error("cannot copy the stand-in to " + dir);
    writeFile(dir + "/" + name + ".standin", instructions);
}

const char pathListSeparator = ';';
const char* const temporaryDirectoryVariable = "TMP";

void setEnvironment(const std::string& name, const std::string& value) {
    // The C runtime's copy removes a variable set to ""; the system's own
    // keeps it, set and empty, as POSIX does.
    _putenv_s(name.c_str(), value.c_str());
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

void unsetEnvironment(const std::string& name) {
    _putenv_s(name.c_str(), "");
    SetEnvironmentVariableA(name.c_str(), nullptr);
}

std::tm localFields(std::time_t t) {
    std::tm fields{};
    localtime_s(&fields, &t);
    return fields;
}

}  // namespace testing_support
