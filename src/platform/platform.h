// The operating system, and nothing else.
//
// Every other part of the archiver reaches files, directories, processes,
// the console and signals through this header. The store we work on comes
// from a Windows machine, so the paths handed in here follow its rules:
//
//  - "\" and "/" are both separators;
//  - a drive prefix such as "D:" names the single root on POSIX, so
//    "D:\mail" and "\mail" and "/mail" are all the absolute path /mail;
//  - the file system ignores letter case: every call below resolves each
//    path component without regard to case when the exact name is absent
//    (an existing "Work.act" is found as "work.act"). Only what truly does
//    not exist is created, under the name asked for.
//
// The implementation lives in platform_posix.cpp; a Windows one would sit
// beside it, chosen by the build.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace platform {

// ---- paths ----------------------------------------------------------------

// True for a name that begins with "\", "/" or a drive ("D:").
bool isAbsolutePath(const std::string& path);

// The host path of a store path: separators converted, a drive prefix
// dropped, and every existing component found without regard to case.
// Components that do not exist keep the spelling they were given.
std::string resolvePath(const std::string& path);

// ---- file status and file operations ---------------------------------------

struct FileStatus {
    bool isDirectory = false;
    bool isRegular = false;
    std::int64_t size = 0;
    std::time_t changeTime = 0;  // creation on Windows, status change on POSIX
    std::time_t modifyTime = 0;
    std::time_t accessTime = 0;
};

// Fills `status` and returns true when something exists at `path`;
// otherwise returns false and sets `error` (an errno value) when given.
bool fileStatus(const std::string& path, FileStatus& status, int* error = nullptr);
bool fileExists(const std::string& path);

// fopen on the resolved path; `mode` as for fopen ("b" is accepted and
// means nothing on POSIX).
std::FILE* openFile(const std::string& path, const char* mode);

// These return 0 on success, otherwise the errno value of the failure.
int makeDirectory(const std::string& path);
int removeFile(const std::string& path);
int renameFile(const std::string& from, const std::string& to);
int makeWritable(const std::string& path);  // adds the owner's write permission

// Sets the access and modification times of a file (used by tests and
// tools that build stores).
int setFileTimes(const std::string& path, std::time_t access, std::time_t modify);

// Writes a new version of a file beside it and publishes it only on
// commit(), in one rename, so that readers see either the old file or the
// new one whole, never a half-written one. Without commit() the temporary
// file is removed and the old file stays as it was.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file in the directory of `path`. Returns 0 or
    // the errno value of the failure.
    int open(const std::string& path);
    std::FILE* stream() const { return stream_; }
    // Flushes, syncs and renames over the target. 0 or an errno value; on
    // failure the target is unchanged and the temporary file is gone.
    int commit();
    void discard();

private:
    std::FILE* stream_ = nullptr;
    std::string target_;
    std::string temporary_;
    int slot_ = -1;  // where a signal handler finds the temporary's name
};

// ---- reading a file from its start -------------------------------------------

// A file opened for reading, with its first bytes already read. Headers and
// index lines are read through this rather than through a stream: one read
// per block, and no second read to learn that a short file has ended.
struct FileStart {
    static constexpr std::size_t capacity = 4096;
    char bytes[capacity];
    std::size_t size = 0;  // bytes read so far
    // Open while more may follow `bytes`; whoever holds the start then
    // reads on from it and closes it. -1 once the file is done with.
    int descriptor = -1;
    int readError = 0;     // errno of a read that failed after `size` bytes
};

// Tells from the first bytes of a file how many of them its reader will
// want at most (n of `size`, when it will want nothing beyond), or 0 when it
// may want more, so that the file can be closed at once and only those
// bytes be handed on. It may run on a read-ahead thread, so it looks at
// nothing but the bytes.
using EnoughRead = std::size_t (*)(const char* bytes, std::size_t size);

// Opens `path` (found without regard to case, as openFile does) and reads
// its first block; the file is closed when that block ended it, or when
// `enough` says nothing more is wanted (the start then holds what is). False with errno set when it cannot be opened. A pipe or
// a device opened by mistake gives what it has at once instead of waiting.
bool openStart(const std::string& path, FileStart& start, EnoughRead enough = nullptr);

// One read of up to `size` bytes: their count, 0 at end, -1 with errno set.
long readSome(int descriptor, char* buffer, std::size_t size);
void closeDescriptor(int descriptor);
int descriptorOf(std::FILE* stream);

// Opens and reads the starts of files on a second thread while the caller
// works on the ones before, so that the waiting for the file system and the
// work on what it gave overlap. The files are taken in the order given;
// only a few are held at a time. The thread blocks every signal: they all
// reach the main thread as before.
class ReadAhead {
public:
    ReadAhead(std::vector<std::string> paths, EnoughRead enough);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // When `path` is the next file given, moves its start into `start` and
    // returns true; the file is then already closed. False when it is not
    // the next one, when it could not be opened with its exact name, or
    // when it goes on beyond what was read: the caller then opens it
    // itself, with the case-blind look-up and its own report of a failure.
    bool take(const std::string& path, FileStart& start);

private:
    struct State;
    State* state_;
};

// ---- threads ----------------------------------------------------------------

// Starts `body` on `thread` so that signals keep reaching the main thread,
// whose handlers clean up (on POSIX the new thread blocks every signal).
// False when no thread could be started.
bool startQuietThread(std::thread& thread, std::function<void()> body);

// ---- directory search -------------------------------------------------------

enum : unsigned { attributeDirectory = 0x10 };

struct DirEntry {
    std::string name;
    unsigned attributes = 0;  // attributeDirectory for a directory
    // A symbolic link; the other fields describe what it points to. A walk
    // that follows linked directories can leave the tree or go round in it.
    bool isLink = false;
    std::int64_t size = 0;
    std::time_t changeTime = 0;
    std::time_t modifyTime = 0;
    std::time_t accessTime = 0;
};

// DOS wildcard match without regard to case: "*" any run, "?" one
// character; "*.*" matches every name, also one without a dot.
bool wildcardMatch(const std::string& pattern, const std::string& name);

// All entries of the directory part of `searchPath` whose names match its
// last component, ordered by name without regard to case (ties by bytes).
// "." and ".." are included, as a find-first would return them. An empty
// result means nothing was found or the directory cannot be read.
std::vector<DirEntry> findEntries(const std::string& searchPath);

// Lists directories on a second thread, in the order given, a few ahead of
// their use, so that the status calls of one folder's listing are made
// while the folder before is being worked on. The thread blocks every
// signal.
class ListingsAhead {
public:
    explicit ListingsAhead(std::vector<std::string> searchPaths);
    ~ListingsAhead();
    ListingsAhead(const ListingsAhead&) = delete;
    ListingsAhead& operator=(const ListingsAhead&) = delete;

    // findEntries(searchPath) into `entries` when `searchPath` is the next
    // one given; false otherwise, and the caller lists it itself.
    bool take(const std::string& searchPath, std::vector<DirEntry>& entries);

private:
    struct State;
    State* state_;
};

// ---- current drive and directory -------------------------------------------

int currentDrive();                    // 3 ("C") on POSIX: there is one root
bool changeDrive(int drive);           // 1 = A ... 26 = Z; each names the one root
std::string currentDirectory();        // absolute, without trailing separator
bool changeDirectory(const std::string& path);

// ---- time -------------------------------------------------------------------

bool localTime(std::time_t t, std::tm& out);
bool universalTime(std::time_t t, std::tm& out);

// ---- programs ---------------------------------------------------------------

// The separator of PATH elements (":" on POSIX, ";" on Windows) and the
// names under which the Info-ZIP programs are installed.
char pathListSeparator();
const char* pathSeparator();           // "/" on POSIX, "\" on Windows
const char* zipProgramName();          // "zip"   ("zip.exe" on Windows)
const char* unzipProgramName();        // "unzip" ("unzip.exe" on Windows)

// Starts the program at `path` with exactly `argv` (argv[0] included) and
// the current standard streams, waits for it and returns its exit status.
// Returns -1 with `error` set when it could not be started at all.
int spawnAndWait(const std::string& path, const std::vector<std::string>& argv, int& error);

// Makes `path` the process's standard input (descriptor 0). False when it
// cannot be opened.
bool redirectStandardInput(const std::string& path);

// Runs a command line through the command interpreter (/bin/sh -c) and
// returns its exit status, or -1 when it could not be run.
int runCommandInterpreter(const std::string& commandLine);

// Creates a new empty file with a name nobody else can have chosen
// (mkstemp) and returns its path, or "" on failure.
std::string createTemporaryFile();

const char* environmentValue(const char* name);  // null when unset

// ---- console ----------------------------------------------------------------

bool standardInputIsTerminal();
// True when a key is waiting at the console; on a non-terminal input,
// true when a byte can be read without blocking.
bool keyWaiting();
// One key without Enter and without echo (a plain byte when standard input
// is not a terminal). -1 at end of input.
int readKey();

// ---- signals ----------------------------------------------------------------

enum class Signal { interrupt, breakKey, terminate, abort };
// Installs `handler` for the signal (SIGQUIT stands in for the break key
// on POSIX). False when the system refuses. Before `handler` runs, the
// temporaries of unfinished AtomicFile rewrites are removed.
bool installSignalHandler(Signal which, void (*handler)(int));

// Async-signal-safe pieces for code that runs inside a signal handler.
void writeRaw(int fd, const char* text, std::size_t length);
void appendRaw(const char* path, const char* text, std::size_t length);
void unlinkRaw(const char* path);
[[noreturn]] void exitImmediately(int status);

}  // namespace platform
