#include "util.h"

#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace {

char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

void normalizeSeparators(char* text) {
    if (!text) return;
    char* out = text;
    for (const char* in = text; *in; ++in) {
        char c = *in == '/' ? '\\' : *in;
        if (c == '\\' && out > text && out[-1] == '\\') continue;
        *out++ = c;
    }
    *out = '\0';
}

std::vector<std::string_view> pathComponents(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

bool isTrimSpace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

char* lowerCase(char* text) {
    if (!text) return nullptr;
    for (char* p = text; *p; ++p) *p = foldCase(*p);
    return text;
}

std::string& lowerCase(std::string& text) {
    for (char& c : text) c = foldCase(c);
    return text;
}

void trimLeading(char* text) {
    std::size_t skip = 0;
    while (text[skip] && isTrimSpace(text[skip])) ++skip;
    if (skip) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
}

void trimTrailing(char* text) {
    std::size_t n = std::strlen(text);
    while (n > 0 && isTrimSpace(text[n - 1])) text[--n] = '\0';
}

int trimBoth(char* text) {
    trimLeading(text);
    trimTrailing(text);
    return 0;
}

std::string& trimBoth(std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && isTrimSpace(text[b])) ++b;
    while (e > b && isTrimSpace(text[e - 1])) --e;
    text = text.substr(b, e - b);
    return text;
}

int allDigits(const char* text) {
    for (const char* p = text; *p; ++p)
        if (*p < '0' || *p > '9') return 0;
    return 1;
}

std::vector<std::string> splitArgs(std::string_view text) {
    constexpr std::size_t mostElements = 19;
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size() && args.size() + 1 < mostElements; ++i) {
        if (text[i] != ' ') continue;
        args.emplace_back(text.substr(start, i - start));
        start = i + 1;
    }
    args.emplace_back(text.substr(start));
    return args;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

bool prefixNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalNoCase(text.substr(0, prefix.size()), prefix);
}

std::size_t findNoCase(std::string_view haystack, std::string_view needle) {
    if (needle.size() > haystack.size()) return std::string_view::npos;
    for (std::size_t i = 0; i + needle.size() <= haystack.size(); ++i)
        if (equalNoCase(haystack.substr(i, needle.size()), needle)) return i;
    return std::string_view::npos;
}

char* keepString(std::string_view text) {
    // Settings and records keep their texts for the whole run; the store
    // below owns them so that leak checkers see them as reachable. Texts
    // are packed into large blocks: a scan keeps nine per message, and a
    // heap block each would cost time and twice the memory.
    constexpr std::size_t blockSize = 64 * 1024;
    static std::vector<std::unique_ptr<char[]>> blocks, longTexts;
    static std::size_t used = blockSize;  // of the last block
    const std::size_t need = text.size() + 1;
    char* copy;
    if (need > blockSize / 4) {
        longTexts.push_back(std::make_unique<char[]>(need));
        copy = longTexts.back().get();
    } else {
        if (used + need > blockSize) {
            blocks.push_back(std::make_unique<char[]>(blockSize));
            used = 0;
        }
        copy = blocks.back().get() + used;
        used += need;
    }
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

ByteReader::ByteReader(std::FILE* file) : file_(platform::handleOf(file)) {}

ByteReader::ByteReader(platform::FileStart& start)
    : file_(start.file), ownsFile_(true), pendingError_(start.readError) {
    start.file = platform::FileHandle{};
    data_ = start.bytes;
    end_ = std::min(start.size, sizeof block_);
}

ByteReader::~ByteReader() {
    if (ownsFile_) platform::closeFile(file_);
}

bool ByteReader::refill() {
    next_ = 0;
    end_ = 0;
    if (pendingError_) {
        error_ = pendingError_;
        pendingError_ = platform::Error{};
        return false;
    }
    if (!file_.isOpen() || error_) return false;
    data_ = block_;
    const long n = platform::readSome(file_, block_, sizeof block_, error_);
    if (n < 0) return false;
    end_ = static_cast<std::size_t>(n);
    if (end_ == 0) {  // the end: nothing more is asked of the file
        if (ownsFile_) platform::closeFile(file_);
        file_ = platform::FileHandle{};
    }
    return end_ != 0;
}

std::size_t ByteReader::getLine(char* out, std::size_t limit) {
    std::size_t taken = 0;
    while (taken < limit && (next_ != end_ || refill())) {
        const char* from = data_ + next_;
        std::size_t span = std::min(end_ - next_, limit - taken);
        const void* lineFeed = std::memchr(from, '\n', span);
        if (lineFeed) span = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - from) + 1;
        std::memcpy(out + taken, from, span);
        taken += span;
        next_ += span;
        if (lineFeed) break;
    }
    return taken;
}

std::string_view ByteReader::getLineView(char* scratch, std::size_t limit) {
    if (next_ == end_ && !refill()) return {};
    const char* from = data_ + next_;
    const std::size_t span = std::min(end_ - next_, limit);
    const void* lineFeed = std::memchr(from, '\n', span);
    if (lineFeed || span == limit) {
        const std::size_t length =
            lineFeed ? static_cast<std::size_t>(static_cast<const char*>(lineFeed) - from) + 1 : span;
        next_ += length;
        return {from, length};
    }
    // The line goes on in the next block.
    return {scratch, getLine(scratch, limit)};
}
