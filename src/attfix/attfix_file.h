// The only part of attfix that talks to the operating system: the trace
// file, standard output, the input and the temporary file, and the final
// replacement. What both systems do alike is in attfix_file.cpp; the
// system calls are in attfix_file_<system>.cpp (attfix_file_shared.h). Paths are taken as the user wrote them; backslashes count as
// separators and a leading drive "D:" names the root, as everywhere in the
// store's tools.
//
// Every failing call leaves the system's reason in lastFailure(), so the
// caller can say what went wrong.
//
// Test seam: the environment variable ATTFIX_TEST_FAIL makes one operation
// fail as if the system had refused it, so tests running as root can reach
// the failure paths: "read" (reading the input), "write" (writing the
// temporary file) or "rename" (replacing the input). Unset in normal use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace attfix {

// The system's reason for the last failed call of this layer.
const std::string& lastFailure();

// Creates (truncates) `name` in the current directory and writes `text`.
// A trace only: a failure is not reported.
void writeTraceFile(const char* name, const std::string& text);

// Writes `text` to standard output as it stands.
void printText(const std::string& text);

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens a regular file for reading; anything else (a directory, a
    // device, a missing file) counts as a failure to open.
    bool open(const std::string& path);

    enum class Read { Piece, End, Failed };
    // Next piece: bytes up to and including the next line feed, at most
    // `limit` bytes, or what is left before the end of the file.
    Read readPiece(std::string& piece, std::size_t limit);

    // Whether `path` names this very file (also through a link or another
    // spelling), so that it is never overwritten as a temporary file.
    bool isSameFileAs(const std::string& path) const;

    std::intptr_t handle() const { return file_; }  // a descriptor or a HANDLE

    // Done with reading. Windows replaces no file that is still open.
    void close();

private:
    bool fill();

    std::intptr_t file_ = -1;
    std::vector<char> buffer_;
    std::size_t start_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
};

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // closes without flushing to disk; see finish()
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates (truncates) the file with the permissions of `like`.
    bool create(const std::string& path, const InputFile& like);
    bool write(const std::string& bytes);
    // Puts everything on the disk and closes; false when any of it failed.
    bool finish();

private:
    std::intptr_t file_ = -1;
};

// Puts `from` in the place of `to` in one step: `to` is either the old file
// or the new one, never missing.
bool replaceFile(const std::string& from, const std::string& to);

void removeFile(const std::string& path);

}  // namespace attfix
