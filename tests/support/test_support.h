// Fixtures shared by the tests: temporary directories, whole-file reads and
// writes, a store builder and a runner for the built programs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A fresh directory under $TMPDIR (or /tmp; on Windows the system's
// temporary directory, written with "/"), removed with everything in it
// when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// Makes a directory current for the life of the object.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& dir);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::string previous_;
};

// Environment variables put back as they were (set or not) when the object
// goes away.
class SavedVariables {
public:
    explicit SavedVariables(const std::vector<std::string>& names);
    ~SavedVariables();
    SavedVariables(const SavedVariables&) = delete;
    SavedVariables& operator=(const SavedVariables&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// What differs between the systems the tests run on.
extern const char pathListSeparator;                  // of PATH: ':' or ';'
std::string pathList(const std::vector<std::string>& elements);  // joined by it
extern const char* const temporaryDirectoryVariable;  // "TMPDIR" or "TMP"
void setEnvironment(const std::string& name, const std::string& value);
void unsetEnvironment(const std::string& name);
std::tm localFields(std::time_t t);

// A test run in a fresh temporary directory made current; PATH, TMPDIR
// (TMP on Windows) and ARCHIVER_DEBUG are put back afterwards, and
// ARCHIVER_DEBUG is unset while the test runs.
class InTempDirectory : public ::testing::Test {
protected:
    InTempDirectory();
    std::string at(const std::string& relative) const { return dir_ / relative; }
    const std::string& originalPath() const { return originalPath_; }
    void usePath(const std::string& value);

private:
    TempDir dir_;
    SavedVariables variables_{{"PATH", temporaryDirectoryVariable, "ARCHIVER_DEBUG"}};
    CurrentDirectory here_{dir_.path()};
    std::string originalPath_;
};

bool endsWith(const std::string& text, const std::string& tail);

// Whole files, byte for byte. writeFile creates missing parent directories.
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
bool isDirectory(const std::string& path);
void makeDirectories(const std::string& path);
void setModifyTime(const std::string& path, std::time_t when);
// Names in a directory, sorted bytewise; "." and ".." left out.
std::vector<std::string> listDirectory(const std::string& path);
// The names of directory entries (anything with a `name`), in their order.
template <typename Entries>
std::vector<std::string> namesOf(const Entries& entries) {
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    return names;
}
// Every file below `root` as relative path -> contents (directories end in "/").
std::map<std::string, std::string> snapshot(const std::string& root);
// A file that the programs write in text mode (report, debug log, list
// file, folder.ini), with Windows's CR LF line ends read as "\n".
std::string readTextFile(const std::string& path);
// Identifies the file at `path` (device and inode, or volume and file
// index): a file replaced by a rename gets a new identity. 0 when absent.
std::uint64_t fileIdentity(const std::string& path);
// `path` absolute, with links resolved where the system has them, in the
// spelling the programs use for it ("/" separators).
std::string canonicalPath(const std::string& path);

struct RunResult {
    int status = -1;        // exit status, or 128 + signal number
    std::string out;        // standard output
    std::string err;        // standard error
    // (on Windows with the CR of console line ends taken out)
};

struct RunOptions {
    std::string workDir;                 // current directory of the program ("" = ours)
    std::string input;                   // bytes on its standard input (a pipe)
    bool inputFromDevNull = true;        // used when `input` is empty
    std::vector<std::string> env;        // extra NAME=value entries
    std::string pathPrefix;              // put in front of PATH
    int timeoutSeconds = 120;
    // POSIX only: the program leads a process group of its own, as a shell runs a job,
    // with the default handling of SIGINT, SIGTERM, SIGQUIT and SIGPIPE.
    // When it ends, whatever it started and left behind is killed and
    // reaped, so that nothing of the run goes on changing files.
    bool ownProcessGroup = false;
    int signalAfterMs = -1;              // send `signal` then (to the group, if it has one)
    int signal = 0;
};

// Runs `program` with `args` (not including argv[0]) and waits for it. On
// Windows the arguments reach the program through a command line quoted for
// its standard argument parsing.
// Standard error begins with "(timed out)" when the run was killed for
// taking too long.
RunResult run(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options = {});

#ifdef ARCHIVER_BIN
// The built archiver, run in `workDir`.
inline RunResult runArchiver(const std::string& workDir, const std::vector<std::string>& args,
                             RunOptions options = {}) {
    options.workDir = workDir;
    return run(ARCHIVER_BIN, args, options);
}
#endif

// The lines of a file, each with its line feed (the last one may lack it).
std::vector<std::string> linesOf(const std::string& bytes);

// Index line bytes: each field followed by 0xDE, then a line feed.
std::string indexLine(const std::vector<std::string>& fields);

// The header lines of a usual test message: a fixed Date, then From, To
// and Subject.
std::vector<std::string> messageHeaders(const std::string& subject, const std::string& from,
                                        const std::string& to);

// The index line the header reader builds for a message of
// messageHeaders() (its one kilobyte or less).
std::string messageIndexLine(const std::string& subject, const std::string& fromName,
                             const std::string& fromAddress, const std::string& fileName,
                             const std::string& values, const std::string& values2, const std::string& to);

// An address book record of 26 fields: the given ones first, the rest
// filled in.
std::string addressRecord(std::vector<std::string> fields);

// Builds a small client store in a directory: main directory with a
// placeholder velmor.exe, accounts with acct.ini (name at offset 512),
// folders with folder.ini and folder.bag, and messages.
class StoreBuilder {
public:
    explicit StoreBuilder(std::string mainDir);
    const std::string& mainDir() const { return main_; }
    // `dir` like "work.act"; writes acct.ini with `displayName` at offset 512.
    StoreBuilder& account(const std::string& dir, const std::string& displayName);
    // `dir` like "work.act/inbox.fld"; writes folder.ini with the display name.
    StoreBuilder& folder(const std::string& dir, const std::string& displayName);
    // A message file with the given header lines (joined with "\n") and body.
    StoreBuilder& message(const std::string& path, const std::vector<std::string>& headers,
                          const std::string& body = "Body text.\n");
    StoreBuilder& file(const std::string& path, const std::string& bytes);
    // Sets the file times of `path` to `days` days ago.
    StoreBuilder& age(const std::string& path, long days);

private:
    std::string main_;
};

}  // namespace testing_support

namespace testing_support {

// The full path of `name` along PATH, or "" when it is not there (on
// Windows "name.exe" is looked for too).
std::string findProgram(const std::string& name);

// The member names of a zip archive as `unzip -Z1` lists them, in archive
// order. Empty when the listing fails.
std::vector<std::string> zipMembers(const std::string& archive);

// The bytes of one member, taken out with `unzip -p`.
std::string zipMember(const std::string& archive, const std::string& member);

#ifdef _WIN32
// Windows has no scripts that can be named zip.exe: a stand-in is a copy of
// the stand_in program as `dir`/`name` (extension included, if any), which
// follows the instructions written beside it in `name`.standin, one a
// line, in order:
//   help PROGRAM  when the first argument is -h, run PROGRAM -h and end with its status
//   record PATH   write each argument on a line of PATH, standard input to PATH.in
//   print PATH    copy the file to standard output
//   drain         read standard input to its end
//   stderr TEXT   write TEXT and a line end to standard error
//   exit N        end with status N (0 when no line says otherwise)
void writeStandIn(const std::string& dir, const std::string& name, const std::string& instructions);
#else
// Writes an executable /bin/sh script `dir`/`name` with the given body
// (a "#!/bin/sh" line is put in front), for stand-ins of zip and unzip
// placed first on PATH.
void writeScript(const std::string& dir, const std::string& name, const std::string& body);
#endif

// A stand-in `dir`/`name` that writes each argument on a line of `record`,
// copies its standard input to `record`.in and exits with `status`.
void recordingStandIn(const std::string& dir, const std::string& name, const std::string& record,
                      int status = 0);

}  // namespace testing_support
