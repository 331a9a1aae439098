// Other programs: start and wait, the command interpreter, standard input,
// temporary files and the environment.
#pragma once

#include "file.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// The separator of PATH elements (":" on POSIX, ";" on Windows), and what
// follows a program's name in its file name ("" on POSIX, ".exe" on
// Windows).
char pathListSeparator();
const char* executableSuffix();

// How many bytes the arguments of a started program may take in all, with
// room to spare: the system's limit of a command line (32,767 characters
// on Windows), or a safe share of it.
std::size_t commandLineLimit();

// Starts the program at `path` with exactly `argv` (argv[0] included) and
// the current standard streams, waits for it and returns its exit status.
// Returns -1 with `error` set when it could not be started at all. While
// it runs, an interrupt passes on to it and waits for it to end.
int spawnAndWait(const std::string& path, const std::vector<std::string>& argv, Error& error);
// As spawnAndWait, for a helper thread (startQuietThread): the program
// starts as from a fresh process, so that an interrupt from the terminal
// ends it, and the handler does not wait for it (it stops only the main
// thread's program). Only for programs that write nothing.
int spawnAndWaitFromHelper(const std::string& path, const std::vector<std::string>& argv, Error& error);

// What a started program writes to its standard output, one block at a
// time, as it comes.
using OutputBlocks = std::function<void(const char* bytes, std::size_t size)>;

// As spawnAndWaitFromHelper (from any thread; the interrupt handler does
// not wait for the program), but the program's standard output is a pipe
// whose bytes go to `onOutput` while it runs, and its standard error goes
// nowhere: a program started ahead of the main thread's work must not
// write between the lines the main thread prints, so the caller tells what
// went wrong in its own words. Its standard input stays ours. Only for
// programs that write nothing but that output. Its status, or -1 with
// `error` set when it could not be started (`onOutput` was not called).
int spawnReadingOutput(const std::string& path, const std::vector<std::string>& argv, const OutputBlocks& onOutput,
                       Error& error);

#ifdef _WIN32
// The command line that gives a program exactly `argv` through the C
// runtime's parsing of its arguments: blanks, tabs, quotes and trailing
// backslashes included.
std::string commandLineOf(const std::vector<std::string>& argv);
#endif

// Makes `path` the process's standard input. False when it cannot be opened.
bool redirectStandardInput(const std::string& path);

// Runs a command line through the command interpreter (/bin/sh -c on
// POSIX, %COMSPEC% /c on Windows) and returns its exit status, or -1 when
// it could not be run.
int runCommandInterpreter(const std::string& commandLine);

// `text` as one word of a command line for that interpreter, quoted only
// when it needs to be.
std::string interpreterWord(const std::string& text);

// Text that a console program such as unzip wrote about file names, in the
// code page the file-system calls take: on Windows unzip writes names in
// the console's (OEM) code page, 850 where the system's is 1252. Nothing
// changes on POSIX.
void fromConsoleCodePage(std::string& text);

// Creates a new empty file with a name nobody else can have chosen, in the
// system's temporary directory, and returns its path, or "" on failure.
// The file is in the cleanup registry until removeTemporaryFile: no road
// out of the run leaves it behind.
std::string createTemporaryFile();
void removeTemporaryFile(const std::string& path);

const char* environmentValue(const char* name);  // null when unset

long currentProcessId();

}  // namespace platform
