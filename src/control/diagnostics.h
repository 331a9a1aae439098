// Everything the archiver shows goes through these routines.
//
//  consoleLine   normalise separators, print to standard output with a line
//                end, copy to the report file;
//  logLine       append one line to the report file (when one is set), with
//                an open, write and close per line;
//  reportWarning "[code]: message" and a line end on standard error and in
//                the report file; the run goes on;
//  fatalError    the same text on standard error (without a line end) and in
//                the report file, then removes backup.bag and archive.tmp
//                from the current directory (when they are this run's) and
//                ends the process with 1.
//
// Formats are always literals of the code; values are filled in with
// bounded formatting, so a "%" inside a file name prints unchanged. A
// message that does not fit the 256-byte buffer is cut.
#pragma once

#include "signals.h"

#include <cstddef>

constexpr std::size_t lineBufferSize = 256;
extern char lineBuffer[lineBufferSize];  // the shared line buffer

void logLine(const char* text);
// Appends `size` bytes of whole lines, each with its line feed, to the
// report file in one open, write and close: for output of many lines.
void logLines(const char* text, std::size_t size);
void consoleLine(char* text);
// Formats into the shared line buffer and prints it as a console line.
void consoleLinef(const char* format, ...) __attribute__((format(printf, 1, 2)));
void reportWarning(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));
[[noreturn]] void fatalError(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// How every end of the run but the interrupt's goes: the registered
// temporaries are removed, then std::exit(status).
// A fuzz harness sets the hook so that such a documented end is not taken
// for a crash; the hook must not return (it throws). Null in the programs.
using EndProcessHook = void (*)(int status);
extern EndProcessHook endProcessHook;
[[noreturn]] void endProcess(int status);
// A step endProcess takes before anything else, such as stopping a helper
// thread that reads what the ending process frees. One at a time.
using EndOfRunStep = void (*)();
void runBeforeEnd(EndOfRunStep step);

// backup.bag and archive.tmp belong to the run that holds the store's lock.
// A run that is still waiting for it, or is refused, must leave them to
// their owner: fatalError and the interrupt remove them only while they are
// this run's (as they are unless a run says otherwise).
void setWorkFilesOwned(bool owned);

// Keeps a copy of the report file name where the interrupt handler can
// reach it without touching the heap; called whenever the name changes.
void rememberReportFile();
// The interrupt handler for every signal the archiver catches.
void onInterrupt(platform::Signal which);
