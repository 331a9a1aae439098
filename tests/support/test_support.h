// Fixtures shared by the tests: temporary directories, whole-file reads and
// writes, a store builder and a runner for the built programs.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
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

// Whole files, byte for byte. writeFile creates missing parent directories.
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
bool isDirectory(const std::string& path);
void makeDirectories(const std::string& path);
void setModifyTime(const std::string& path, std::time_t when);
// Names in a directory, sorted bytewise; "." and ".." left out.
std::vector<std::string> listDirectory(const std::string& path);
// Every file below `root` as relative path -> contents (directories end in "/").
std::map<std::string, std::string> snapshot(const std::string& root);

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
};

// Runs `program` with `args` (not including argv[0]) and waits for it. On
// Windows the arguments reach the program through a command line quoted for
// its standard argument parsing.
RunResult run(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options = {});

// The lines of a file, each with its line feed (the last one may lack it).
std::vector<std::string> linesOf(const std::string& bytes);

// Index line bytes: each field followed by 0xDE, then a line feed.
std::string indexLine(const std::vector<std::string>& fields);

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

private:
    std::string main_;
};

}  // namespace testing_support

namespace testing_support {

// The full path of `name` along PATH, or "" when it is not there (on
// Windows "name.exe" is looked for too).
std::string findProgram(const std::string& name);

// A file that the programs write in text mode (report, debug log, list
// file, folder.ini), with Windows's CR LF line ends read as "\n".
std::string readTextFile(const std::string& path);

// Identifies the file at `path` (device and inode, or volume and file
// index): a file replaced by a rename gets a new identity. 0 when absent.
std::uint64_t fileIdentity(const std::string& path);

// `path` absolute, with links resolved where the system has them, in the
// spelling the programs use for it ("/" separators).
std::string canonicalPath(const std::string& path);

// What differs between the systems the tests run on.
extern const char pathListSeparator;          // of PATH: ':' or ';'
extern const char* const temporaryDirectoryVariable;  // "TMPDIR" or "TMP"
void setEnvironment(const std::string& name, const std::string& value);
void unsetEnvironment(const std::string& name);
std::tm localFields(std::time_t t);

// The member names of a zip archive as `unzip -Z1` lists them, in archive
// order. Empty when the listing fails.
std::vector<std::string> zipMembers(const std::string& archive);

// The bytes of one member, taken out with `unzip -p`.
std::string zipMember(const std::string& archive, const std::string& member);

// Writes an executable /bin/sh script `dir`/`name` with the given body
// (a "#!/bin/sh" line is put in front), for stand-ins of zip and unzip
// placed first on PATH. POSIX only.
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
void writeScript(const std::string& dir, const std::string& name, const std::string& body);
#endif

}  // namespace testing_support
