// The Info-ZIP programs: the program runner, the list file, the zip and
// unzip command lines and the version check.
//
// zip and unzip are outside programs found along PATH. The archive job
// hands zip the names to add through the list file (listfile.h) as zip's
// standard input; the restore job takes one member at a time out with
// unzip. Both jobs call checkZipVersion first and stop quietly when it
// returns 0, after it has told the user why.
//
// Names reach the programs as single arguments, spaces and all: the
// argument vector is built element by element, never by splitting a
// command string that holds a file name.
#pragma once

#include "listfile.h"

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

// Fills `members` with the names stored in `archiveFile`, as `unzip -Z1`
// lists them. False when the listing cannot be made (unzip missing or
// failing, the archive unreadable); `members` is then empty.
bool listArchiveMembers(const char* archiveFile, std::vector<std::string>& members);

// 1 when zip (kind 1) or unzip (kind 2) answers "-h" with a help text
// whose version line is at least "2.2" or "5.32"; else 0 after printing
// why on standard output (and in archiver.dbg with ARCHIVER_DEBUG set).
int checkZipVersion(int kind);

// The name of the debug log and the variable that switches it on.
extern const char* const debugLogName;         // "archiver.dbg"
extern const char* const debugVariableName;    // "ARCHIVER_DEBUG"
