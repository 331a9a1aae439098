// What attfix's file layer does alike on both systems; the system calls
// are in attfix_file_<system>.cpp.
#include "attfix_file.h"

#include "attfix_file_shared.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace attfix {

namespace {

std::string failure;

// A failed call's reason noted: false. Success: true.
bool succeeded(int error) {
    if (error == 0) return true;
    noteFailure(error);
    return false;
}

}  // namespace

const std::string& lastFailure() { return failure; }

void noteFailure(int error) { failure = std::strerror(error); }

bool injectedFailure(const char* operation) {
    const char* which = std::getenv("ATTFIX_TEST_FAIL");
    if (!which || std::strcmp(which, operation) != 0) return false;
    noteFailure(EIO);
    return true;
}

void writeTraceFile(const char* name, const std::string& text) {
    const std::intptr_t file = createTruncated(name);
    if (file == noFile) return;
    writeBytes(file, text.data(), text.size());
    closeFile(file);
}

void printText(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

InputFile::~InputFile() { close(); }

void InputFile::close() {
    if (file_ != noFile) closeFile(file_);
    file_ = noFile;
}

bool InputFile::fill() {
    if (injectedFailure("read")) return false;
    std::size_t got = 0;
    if (!succeeded(readBytes(file_, buffer_.data(), buffer_.size(), got))) return false;
    start_ = 0;
    end_ = got;
    if (got == 0) atEnd_ = true;
    return true;
}

InputFile::Read InputFile::readPiece(std::string& piece, std::size_t limit) {
    piece.clear();
    while (piece.size() < limit) {
        if (start_ == end_) {
            if (atEnd_) break;
            if (!fill()) return Read::Failed;
            if (atEnd_) break;
        }
        std::size_t take = end_ - start_;
        if (take > limit - piece.size()) take = limit - piece.size();
        const char* from = buffer_.data() + start_;
        const void* lineFeed = std::memchr(from, '\n', take);
        if (lineFeed) take = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - from) + 1;
        piece.append(from, take);
        start_ += take;
        if (lineFeed) break;
    }
    return piece.empty() ? Read::End : Read::Piece;
}

OutputFile::~OutputFile() {
    if (file_ != noFile) closeFile(file_);
}

bool OutputFile::write(const std::string& bytes) {
    if (injectedFailure("write")) return false;
    return succeeded(writeBytes(file_, bytes.data(), bytes.size()));
}

// Closed even when the data could not be put on the disk; the first
// failure is the one told.
bool OutputFile::finish() {
    bool ok = succeeded(syncToDisk(file_));
    const int closed = closeFile(file_);
    if (ok) ok = succeeded(closed);
    file_ = noFile;
    return ok;
}

bool replaceFile(const std::string& from, const std::string& to) {
    if (injectedFailure("rename")) return false;
    return succeeded(renameOver(from, to));
}

}  // namespace attfix
