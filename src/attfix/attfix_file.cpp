// attfix's own part of its file layer; the system calls are in
// attfix_file_<system>.cpp.
#include "attfix_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace attfix {

namespace {

std::string failure;

}  // namespace

const std::string& lastFailure() { return failure; }

void noteFailure(int error) { failure = std::strerror(error); }

bool injectedFailure(const char* operation) {
    const char* which = std::getenv("ATTFIX_TEST_FAIL");
    if (!which || std::strcmp(which, operation) != 0) return false;
    noteFailure(EIO);
    return true;
}

void printText(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
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

}  // namespace attfix
