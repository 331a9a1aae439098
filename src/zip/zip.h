// The Info-ZIP programs: the program runner, the list file, the zip and
// unzip command lines and the version check (zip_programs.h).
//
// zip and unzip are outside programs found along PATH. The archive job
// hands zip the names to add through the list file (listfile.h) as zip's
// standard input; the restore job takes one member at a time out with
// unzip. Both jobs call checkZipVersion first and stop quietly when it
// returns 0, after it has told the user why.
//
// Names reach zip and unzip through runProgram as single arguments, spaces
// and all: the argument vector is built element by element, never by
// splitting a command string that holds a file name. Two commands go
// through the command interpreter instead, for its redirection of their
// output into a file: the version check and listArchiveContents. There
// every name is one word of the interpreter, quoted where it needs to be
// (interpreterWord).
#pragma once

#include "listfile.h"
#include "zip_programs.h"
#include "file.h"
#include "programs.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Starts `program` (a bare name such as "zip") from the first PATH element
// where it can be started, with `arguments` after the program name (empty
// elements are left out), and waits for it.
//
//  - `inputFile`, when not null, becomes the standard input first; when it
//    cannot, "Error reopening stdin" is printed and the process ends with
//    exit status 2.
//  - The result is the program's exit status, or 1 when it could not be
//    started from any PATH element (after "_spawnv failed, errno: %d").
//  - With ARCHIVER_DEBUG set, each call appends the program, the arguments
//    joined by single spaces and the input file to archiver.dbg in the
//    current directory.
int runProgram(const char* program, const std::vector<std::string>& arguments, const char* inputFile);

// runProgram with another way of starting the program at a candidate path
// (platform::spawnAndWait's contract).
using SpawnFunction =
    std::function<int(const std::string& path, const std::vector<std::string>& argv, platform::Error& error)>;
int runProgramWith(const SpawnFunction& spawn, const char* program, const std::vector<std::string>& arguments,
                   const char* inputFile);

// runProgram with the program's standard output handed to `onOutput`
// block by block while it runs, instead of going to ours; from any thread
// (platform::spawnReadingOutput).
int runProgramReading(const char* program, const std::vector<std::string>& arguments,
                      const platform::OutputBlocks& onOutput);

// Store paths handed to zipFiles and unzipFile (the archive, the extract
// directory) may use either separator, a drive and any letter case; the
// programs get them in the file system's own spelling. Member names are
// the archive's and go unchanged.

// Packs the files named in `listFile` into `archiveFile` ("-9 -@", with
// "-q" in front when `noiseFlag` is zero). 0 means the archive was written.
int zipFiles(const char* listFile, const char* archiveFile, int noiseFlag);

// Extracts `member` from `archiveFile` ("-o -C"), below the current
// directory under its stored path, or, with a non-empty `extractDir`,
// into that directory alone ("-j -d"). A leading "./" is removed from
// `member` in the caller's storage first. "-q" (or "-qq" with an extract
// directory) when `noiseFlag` is zero. 0 means the member was extracted.
int unzipFile(const char* extractDir, const char* archiveFile, char* member, int noiseFlag);

// Hands the bytes of `member` of `archiveFile` to `onBytes` as unzip
// inflates them (`unzip -p -C`, the name matched without regard to case);
// nothing is written anywhere, and unzip's messages go nowhere.
// Returns unzip's status: 0 when the member came whole, 11 when the archive
// holds no such member, another value when the archive cannot be read (the
// bytes handed on so far are then not to be trusted). Made to be called
// from a helper thread (platform::startQuietThread) as well: unzip gets the
// usual handling of signals, so an interrupt from the terminal ends it too.
int readArchiveMember(const char* archiveFile, const char* member, const platform::OutputBlocks& onBytes);

// Extracts from `archiveFile` into `extractDir` (paths dropped) every
// member that one of `patterns` names and none of `excluded` does
// ("-o -C -j -d", "-x" before the exclusions; "-qq" in front when
// `noiseFlag` is zero). unzip's status; a batch run may end non-zero for
// one member and still extract the others, so the caller checks what came
// out, file by file.
int extractMembers(const std::string& extractDir, const char* archiveFile, const std::vector<std::string>& patterns,
                   const std::vector<std::string>& excluded, int noiseFlag);

// The characters that the fixed words of extractMembers take on the
// command line besides the patterns, each word counted with a blank and
// the quotes the system may put around it.
std::size_t extractWordsLength(const std::string& extractDir, const char* archiveFile);
// The characters one pattern takes there, counted alike.
std::size_t patternLength(const std::string& pattern);

// The unzip pattern that names `text` alone: "*", "?" and "[" taken
// literally.
std::string literalPattern(const std::string& text);

// The names under which a member may be listed, given the name the client
// wrote (backup.bag's bytes, the Windows code page): those bytes (zip on
// Linux, or unzip.exe reading zip.exe's), their UTF-8 form (unzip on Linux
// reading the UTF-8 name that zip.exe adds) and their OEM forms (an unzip
// that ignores that field). The bytes come first; a name of plain ASCII
// has that one form.
std::vector<std::string> memberNameForms(const std::string& name);

// One member of an archive as unzip lists it.
struct ArchiveMember {
    std::string name;                 // as stored, "/" separators
    std::int64_t size = 0;            // bytes once inflated
    std::int64_t compressedSize = 0;  // bytes in the archive
    std::uint32_t crc = 0;            // CRC-32 of the inflated bytes
};

// Reads the text of `unzip -v` into `members`, in archive order. False
// (and `members` empty) when the text is not a whole listing: no table, a
// line that does not parse, or a count at its foot that differs from the
// lines above it. A comment of the archive, printed before the table, is
// never taken for members. Names keep their blanks and 8-bit bytes; unzip
// shows a control character of a name as "^" and a letter, so such a name
// does not match the file's own.
bool parseMemberListing(const std::string& text, std::vector<ArchiveMember>& members);

// Lists `archiveFile` with `unzip -v`. False when the listing cannot be
// made or read whole (unzip missing or failing, the archive unreadable).
bool listArchiveContents(const char* archiveFile, std::vector<ArchiveMember>& members);

// The unzip pattern (for testArchiveMembers) of every member stored
// directly in `directory` (a stored name's directory part, "" for the top):
// "dir/*", with "*", "?" and "[" of the name taken literally.
std::string directoryPattern(const std::string& directory);

// Tests the members of `archiveFile` that `patterns` name (`unzip -tqq -W`,
// so that "*" stays within one directory): each is inflated and checked
// against its stored CRC-32 and size. 0 when every one passed and every
// pattern named at least one member; otherwise unzip's status (1 when it
// could not be started). Made to be called from a thread started with
// platform::startQuietThread, several at a time: unzip gets the usual
// handling of signals, so an interrupt from the terminal ends it too.
int testArchiveMembers(const char* archiveFile, const std::vector<std::string>& patterns);

// The name of the debug log and the variable that switches it on.
extern const char* const debugLogName;         // "archiver.dbg"
extern const char* const debugVariableName;    // "ARCHIVER_DEBUG"
