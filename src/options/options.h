// Command line, configuration file, usage text and settings listing.
//
// Start-up order (prepareSettings): lists and clock, start directory,
// command line (parseOptions), archive.cfg (readConfigFile, whose option
// lines go through parseOptions as well), defaults, checks across options,
// the archive day, the account directories, and the archive file name.
// Nothing here returns an error: a usage error prints the usage text and
// ends the process with 1, every other failure is a numbered fatalError.
#pragma once

#include <string>

// Start-up: lists, clock, start directory, command line, archive.cfg,
// defaults, checks, archive file name. Returns only when the settings are
// complete and valid; every error ends the process.
void prepareSettings(int argc, char** argv);

// Applies the option words of `words` (word 0 is a name and is not
// scanned). `fromConfig` is true for an option line of archive.cfg, which
// follows its own repeat rules so that the command line keeps precedence.
// Leaves optionIndex at the first word not consumed.
void parseOptions(int wordCount, char** words, bool fromConfig);

// Makes `directory` the current one after checking that it is the client's
// main directory (velmor.exe or velmorw.exe in it). Every failure is fatal.
bool enterClientDirectory(const char* directory);

// Replaces the question marks of the archive or report file name by the
// first free number; the archive name also gets ".zip" when it lacks it.
// An existing final name is a fatal error (2012 or 1355).
enum class NumberedName { archiveFile, outputFileName };
void numberFileName(NumberedName which);

// Where the archive job hands an archive name to zip: an absolute name as
// it is, any other name below the start directory. The free-name search
// and the existence check look there, so that a run from a fixed directory
// with /p never picks the name of an archive that is already there.
std::string archiveFilePath(const char* name);
// Makes the archive file, empty, where nothing may be yet, so that no other
// run can choose the same name; a numbered name that another run took
// first is numbered again. Its cleanup-registry slot: the claim is removed
// by every end of the run until platform::keepClaimedFile.
int claimArchiveFile();

// Stores fileAge and computes ageCutOffTime: the start time of day,
// that many calendar days earlier.
void setFileAge(const char* text);

// Reads archive.cfg (or what /c names) once, after the command line.
void readConfigFile();
// Applies one split line: words[1] is the keyword or the first option
// word, words[0] a name for the scanner's messages.
void dispatchStatement(int wordCount, char** words);
// Fatal 409 or 413 with `name` unless the statement has between `minimum`
// and `maximum` parameters (maximum -1: no upper bound); `wordCount`
// counts word 0 and the keyword.
void checkParameterCount(int wordCount, const char* name, int minimum, int maximum);

// Prints "option x specified multiple times" when `letter` is not 0, then
// the usage text page by page, and ends the process with status 1.
[[noreturn]] void showUsage(char letter);
// The paging prompt. It waits for a key only when standard input is a
// terminal; otherwise the prompt is printed and erased at once.
void waitForKey();

// Prints every setting in effect and ends the process with status 0.
[[noreturn]] void listSettings();
