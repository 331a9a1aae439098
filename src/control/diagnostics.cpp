#include "diagnostics.h"

#include "platform.h"
#include "settings.h"
#include "util.h"
#include "work_files.h"

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>

char lineBuffer[lineBufferSize];
EndProcessHook endProcessHook = nullptr;

namespace {

// The report file name as the interrupt handler needs it: a fixed buffer,
// filled outside any signal.
char reportFileForSignals[4096];

volatile std::sig_atomic_t workFilesOwned = 1;

// "[code]: " and the message, cut to fit the buffer.
__attribute__((format(printf, 4, 0)))
void composeNumbered(char* buffer, std::size_t size, int code, const char* format, va_list args) {
    int n = std::snprintf(buffer, size, "[%d]: ", code);
    if (n < 0) n = 0;
    if (static_cast<std::size_t>(n) < size) std::vsnprintf(buffer + n, size - static_cast<std::size_t>(n), format, args);
}

}  // namespace

void logLine(const char* text) {
    if (!settings.outputFileName) return;
    std::FILE* f = platform::openFile(settings.outputFileName, "a");
    if (!f) return;
    std::fputs(text, f);
    std::fputc('\n', f);
    std::fclose(f);
}

void logLines(const char* text, std::size_t size) {
    if (!settings.outputFileName || size == 0) return;
    std::FILE* f = platform::openFile(settings.outputFileName, "a");
    if (!f) return;
    std::fwrite(text, 1, size, f);
    std::fclose(f);
}

void consoleLine(char* text) {
    normalizeSeparators(text);
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    logLine(text);
}

void consoleLinef(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(lineBuffer, sizeof lineBuffer, format, args);
    va_end(args);
    consoleLine(lineBuffer);
}

namespace {

// The numbered text on standard error (with or without a line end) and in
// the report file.
__attribute__((format(printf, 2, 0)))
void emitNumbered(int code, const char* format, va_list args, bool lineEnd) {
    char buffer[256];
    composeNumbered(buffer, sizeof buffer, code, format, args);
    std::fflush(stdout);
    std::fputs(buffer, stderr);
    if (lineEnd) std::fputc('\n', stderr);
    std::fflush(stderr);
    logLine(buffer);
}

}  // namespace

void reportWarning(int code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    emitNumbered(code, format, args, true);
    va_end(args);
}

void fatalError(int code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    emitNumbered(code, format, args, false);
    va_end(args);
    if (workFilesOwned) {
        platform::removeFile(backupIndexName);
        platform::removeFile(archiveListName);
    }
    endProcess(1);
}

namespace {
EndOfRunStep beforeEnd = nullptr;
}  // namespace

void runBeforeEnd(EndOfRunStep step) { beforeEnd = step; }

void endProcess(int status) {
    if (beforeEnd) {
        EndOfRunStep step = beforeEnd;
        beforeEnd = nullptr;  // once, also when the step itself ends the run
        step();
    }
    // Whatever temporary the run still has (an unpublished rewrite, the
    // version check's help text, the store's lock file) goes with it, on
    // every road out.
    platform::removeRegisteredFiles();
    if (endProcessHook) endProcessHook(status);
    std::exit(status);
}

void setWorkFilesOwned(bool owned) { workFilesOwned = owned ? 1 : 0; }

void rememberReportFile() {
    reportFileForSignals[0] = '\0';
    if (!settings.outputFileName) return;
    std::string host = platform::resolvePath(settings.outputFileName);
    if (host.size() < sizeof reportFileForSignals) std::memcpy(reportFileForSignals, host.c_str(), host.size() + 1);
}

// Runs inside a signal: formatted output and the heap could deadlock here,
// so the fixed text is written with plain system calls only.
void onInterrupt(platform::Signal) {
    static const char text[] = "[4858]: \n\n*** Program interrupted by user ***";
    const std::size_t length = sizeof text - 1;
    platform::writeStandardErrorRaw(text, length);
    if (reportFileForSignals[0]) {
        static const char lineEnd[] = "\n";
        platform::appendRaw(reportFileForSignals, text, length);
        platform::appendRaw(reportFileForSignals, lineEnd, 1);
    }
    if (workFilesOwned) {
        platform::unlinkRaw(backupIndexName);
        platform::unlinkRaw(archiveListName);
    }
    platform::exitImmediately(1);
}
