// Small helpers that know nothing of mail: the separators of a shown path,
// in-place text edits, a digits test and the splitter of command strings.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>
#include <string_view>

#include "platform.h"

// ---- paths --------------------------------------------------------------

// Turns every "/" of `text` into "\" and runs of separators into one, in
// place, as the archiver shows paths; null stays null.
void normalizeSeparators(char* text);

// The parts of a path between separators of either kind, without "." and
// empty ones, so that ".\work.act\inbox.fld\" and "work.act/inbox.fld"
// give the same parts. They point into `path`.
std::vector<std::string_view> pathComponents(std::string_view path);

// ---- text ---------------------------------------------------------------

// The whitespace set of the trimming helpers: tab, line feed, carriage
// return and space.
bool isTrimSpace(char c);

char* lowerCase(char* text);  // null stays null; only A to Z change
std::string& lowerCase(std::string& text);
void trimLeading(char* text);
void trimTrailing(char* text);
int trimBoth(char* text);
std::string& trimBoth(std::string& text);
int allDigits(const char* text);  // the empty string gives 1

// Splits `text` at every space: at most 19 elements. Two spaces in a row
// give an empty element; whatever lies beyond the 19th element stays in it.
// The caller owns the result: threads split their own commands at once.
std::vector<std::string> splitArgs(std::string_view text);

// Comparisons without regard to case over the first `n` bytes.
bool equalNoCase(std::string_view a, std::string_view b);
bool prefixNoCase(std::string_view text, std::string_view prefix);
// Index of `needle` in `haystack` ignoring case, or npos.
std::size_t findNoCase(std::string_view haystack, std::string_view needle);

// A heap copy that lives until the process ends (settings and list
// records point at such copies and never free them).
char* keepString(std::string_view text);

// ---- reading ------------------------------------------------------------

// Lines of a file, taken from it in blocks of one read each: the readers of
// headers and index lines look at every byte, and getc costs a call and a
// lock each time.
class ByteReader {
public:
    // Reads the file under `file`, which must be fresh (nothing read
    // through it yet) and is read by nothing else while the reader is in
    // use. The caller still closes the stream.
    explicit ByteReader(std::FILE* file);
    // Gives the bytes of `start` first (where they are: `start` must
    // outlive the reader), then reads on from its open file, which the
    // reader takes over and closes.
    explicit ByteReader(platform::FileStart& start);
    ~ByteReader();
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    // Up to `limit` bytes into `out`, the last of them a line feed when one
    // came before the limit; the count taken, 0 only at end of input or on
    // an error. Zero bytes are taken like any other.
    std::size_t getLine(char* out, std::size_t limit);
    // The same line as a view: into the reader's block when the line lies
    // within it, otherwise into `scratch` (room for `limit` bytes). Valid
    // until the next call; empty only at end of input or on an error.
    std::string_view getLineView(char* scratch, std::size_t limit);
    // A read failed: the input ended there, but not at the end of the file.
    bool failed() const { return static_cast<bool>(error_); }
    int error() const { return error_.number; }  // the system's number for it

private:
    bool refill();
    platform::FileHandle file_;
    bool ownsFile_ = false;
    platform::Error error_;
    platform::Error pendingError_;  // a failure that comes after the bytes given
    std::size_t next_ = 0;
    std::size_t end_ = 0;
    char block_[platform::FileStart::capacity];
    const char* data_ = block_;  // the bytes being taken: block_ or those given
};
