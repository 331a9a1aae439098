#include "index_file.h"

#include "diagnostics.h"
#include "directory_listing.h"
#include "platform.h"
#include "settings.h"
#include "util.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>

namespace {

std::unordered_set<const LL*> listsWithIndexFile;

// One line without its line feed, of any length. False at end of file
// when nothing was read.
bool readWholeLine(ByteReader& bytes, std::string& line) {
    line.clear();
    char piece[512];
    while (std::size_t n = bytes.getLine(piece, sizeof piece)) {
        if (piece[n - 1] == '\n') {
            line.append(piece, n - 1);
            return true;
        }
        line.append(piece, n);
    }
    // A failed read is not the end of the file: the piece read is no line.
    return !line.empty() && !bytes.failed();
}

// A decimal int as "%d" reads it: leading white space, an optional sign,
// at least one digit. Values beyond the range of int are held at its ends.
bool takeInt(std::string_view& text, int& value) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::size_t digits = i;
    long long v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (v <= INT_MAX) v = v * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digits) return false;
    if (negative) v = -v;
    value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    text.remove_prefix(i);
    return true;
}

bool takeSeparator(std::string_view& text) {
    if (text.empty() || text.front() != fieldSeparator) return false;
    text.remove_prefix(1);
    return true;
}

// A text up to the next separator, which is consumed; the text may be empty.
bool takeText(std::string_view& text, std::string_view& field) {
    std::size_t end = text.find(fieldSeparator);
    if (end == std::string_view::npos) return false;
    field = text.substr(0, end);
    text.remove_prefix(end + 1);
    return true;
}

struct ParsedLine {
    int value1 = 0, value2 = 0;
    std::string_view texts[9];
};

bool parseIndexLine(std::string_view line, ParsedLine& out) {
    // A zero byte ends the line's text, as it would for any C string reader.
    line = line.substr(0, line.find('\0'));
    if (!takeInt(line, out.value1) || !takeSeparator(line)) return false;
    if (!takeInt(line, out.value2) || !takeSeparator(line)) return false;
    for (auto& field : out.texts)
        if (!takeText(line, field)) return false;
    return true;  // anything after the eleventh separator (a CR, say) is not looked at
}

char* keepIndexText(std::string_view text) {
    try {
        return keepString(text);
    } catch (const std::bad_alloc&) {
        fatalError(3465, "Unable to allocate memory");
    }
}

bool hasSeparator(std::string_view name) { return name.find_first_of("/\\") != std::string_view::npos; }

// The change time of the message file dir + name, 0 when there is none. A
// directory is no message: an empty name would otherwise find the folder
// itself, and a name of a subfolder that subfolder.
std::time_t messageChangeTime(const std::string& dir, std::string_view name, const DirectoryListing* listing) {
    if (listing && !hasSeparator(name)) {
        const platform::DirEntry* e = listing->find(name);
        return e && !(e->attributes & platform::attributeDirectory) ? e->changeTime : 0;
    }
    platform::FileStatus status;
    if (!platform::fileStatus(dir + std::string(name), status) || status.isDirectory) return 0;
    return status.changeTime;
}

void countIndexDot() {
    if (++indexDots % 50 == 0) {
        std::fputc('.', stdout);
        std::fflush(stdout);
    }
}

// The nine text fields of an entry, in the order of an index line.
std::array<char**, 9> textFields(IndexEntry& entry) {
    return {&entry.date,          &entry.time,       &entry.subject,  &entry.recipientAddress, &entry.recipientName,
            &entry.senderAddress, &entry.senderName, &entry.sizeText, &entry.fileName};
}

// An entry with the two values of a parsed line and no texts yet.
IndexEntry valuesOf(const ParsedLine& parsed) {
    IndexEntry entry{};
    entry.value1 = parsed.value1;
    entry.value2 = parsed.value2;
    return entry;
}

// The entry of a parsed line, its texts kept for the rest of the run.
IndexEntry keptEntry(const ParsedLine& parsed) {
    IndexEntry entry = valuesOf(parsed);
    const std::array<char**, 9> texts = textFields(entry);
    for (int i = 0; i < 9; ++i) *texts[i] = keepIndexText(parsed.texts[i]);
    return entry;
}

void appendWithoutSeparator(std::string& out, const char* text) {
    if (!text) return;
    const std::size_t start = out.size();
    out += text;
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), fieldSeparator, '\xFE');
}

void appendNumber(std::string& out, int value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

}  // namespace

int readIndexFile(const char* dir, LL* list, IndexKind kind) {
    if (!dir || !*dir || kind == IndexKind::backup) return readIndexFile(dir, list, kind, nullptr);
    DirectoryListing listing(dir);
    return readIndexFile(dir, list, kind, &listing);
}

int readIndexFile(const char* dir, LL* list, IndexKind kind, const DirectoryListing* listing) {
    if (!dir || !*dir) return 0;
    const bool restoring = kind == IndexKind::backup;
    std::string path = std::string(dir) + (restoring ? backupIndexName : folderIndexName);
    if (settings.verbose) consoleLinef("Reading %s", path.c_str());

    if (std::FILE* file = platform::openFile(path, "r")) {
        listsWithIndexFile.insert(list);
        TypedLL<IndexEntry> entries(list);
        std::string line;
        ParsedLine parsed;
        ByteReader bytes(file);
        while (readWholeLine(bytes, line)) {
            if (!parseIndexLine(line, parsed)) continue;
            if (settings.verbose) countIndexDot();
            IndexEntry entry = keptEntry(parsed);
            if (!restoring) {
                entry.changeTime = messageChangeTime(dir, parsed.texts[8], listing);
                if (entry.changeTime == 0) {
                    if (settings.verbose) {
                        std::string missing = std::string(dir) + entry.fileName;
                        consoleLinef("File not found: %s\n", missing.c_str());
                    }
                    continue;
                }
            }
            entries.append(entry);
        }
        // An index written back from a part of it would lose the rest. A
        // directory in its place holds no lines; the rewrite reports it.
        const int error = bytes.error();
        if (bytes.failed() && error != EISDIR) {
            std::fclose(file);
            fatalError(3470, "Error [%d] reading index file %s", error, path.c_str());
        }
        std::fclose(file);
    }
    if (settings.verbose) {
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return 0;
}

namespace {
constexpr std::size_t readerChunkSize = 256 * 1024;
}  // namespace

void ArchiveIndexReader::add(const char* bytes, std::size_t size) {
    // The caller is done with the entries of the last block.
    chunk_ = 0;
    chunkUsed_ = 0;
    longLines_.clear();
    const char* end = bytes + size;
    while (bytes < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(bytes, '\n', static_cast<std::size_t>(end - bytes)));
        if (!lineEnd) {
            partial_.append(bytes, end);
            return;
        }
        if (partial_.empty()) {
            takeLine(std::string_view(bytes, static_cast<std::size_t>(lineEnd - bytes)));
        } else {
            partial_.append(bytes, lineEnd);
            takeLine(partial_);
            partial_.clear();
        }
        bytes = lineEnd + 1;
    }
}

void ArchiveIndexReader::finish() {
    chunk_ = 0;
    chunkUsed_ = 0;
    longLines_.clear();
    if (!partial_.empty()) takeLine(partial_);
    partial_.clear();
    if (settings.verbose) {
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

char* ArchiveIndexReader::keptLine(std::string_view line) {
    const std::size_t need = line.size() + 1;
    char* copy = nullptr;
    try {
        if (need > readerChunkSize) {
            longLines_.push_back(std::make_unique<char[]>(need));
            copy = longLines_.back().get();
        } else {
            if (chunkUsed_ + need > readerChunkSize) {
                ++chunk_;
                chunkUsed_ = 0;
            }
            if (chunk_ == chunks_.size()) chunks_.emplace_back(new char[readerChunkSize]);
            copy = chunks_[chunk_].get() + chunkUsed_;
            chunkUsed_ += need;
        }
    } catch (const std::bad_alloc&) {
        fatalError(3465, "Unable to allocate memory");
    }
    std::memcpy(copy, line.data(), line.size());
    copy[line.size()] = '\0';
    return copy;
}

void ArchiveIndexReader::takeLine(std::string_view line) {
    char* copy = keptLine(line);
    ParsedLine parsed;
    if (!parseIndexLine(std::string_view(copy, line.size()), parsed)) return;
    if (settings.verbose) countIndexDot();
    // Each text ends at its separator, which becomes the end of a C string.
    IndexEntry entry = valuesOf(parsed);
    const std::array<char**, 9> texts = textFields(entry);
    for (int i = 0; i < 9; ++i) {
        char* text = copy + (parsed.texts[i].data() - copy);
        text[parsed.texts[i].size()] = '\0';
        *texts[i] = text;
    }
    TypedLL<IndexEntry>(list_).append(entry);
}

bool indexFileFound(const LL* list) { return listsWithIndexFile.count(list) != 0; }

int writeIndexLine(std::FILE* file, IndexEntry& entry, bool keepPath) {
    std::string line;
    line.reserve(256);
    appendNumber(line, entry.value1);
    line += fieldSeparator;
    appendNumber(line, entry.value2);
    line += fieldSeparator;
    for (char* text : {entry.date, entry.time, entry.subject, entry.recipientAddress, entry.recipientName,
                       entry.senderAddress, entry.senderName, entry.sizeText}) {
        if (text) trimBoth(text);
        appendWithoutSeparator(line, text);
        line += fieldSeparator;
    }
    const char* name = entry.fileName;
    if (name && !keepPath) {
        if (const char* slash = std::strrchr(name, '/')) name = slash + 1;
    }
    appendWithoutSeparator(line, name);
    line += fieldSeparator;
    line += '\n';
    if (std::fwrite(line.data(), 1, line.size(), file) != line.size() || std::ferror(file)) return -1;
    return 0;
}

int createFolderIni(const char* dir, const char* displayName) {
    std::string path = std::string(dir) + "folder.ini";
    if (platform::fileExists(path)) return 1;
    std::string line;
    appendWithoutSeparator(line, displayName);
    for (const char* field : {"1000", "1", "0;1;2;3;4;5;6;7;8;9", "1", "1", "1", "0"}) {
        line += fieldSeparator;
        line += field;
    }
    line += fieldSeparator;
    line += '\n';
    platform::AtomicFile file;
    if (file.open(path)) return 0;
    if (std::fwrite(line.data(), 1, line.size(), file.stream()) != line.size()) return 0;
    return file.commit() ? 0 : 1;
}

const char* readFolderName(const char* dir) {
    static char name[256];
    name[0] = '\0';
    std::FILE* file = platform::openFile(std::string(dir) + "folder.ini", "r");
    if (!file) return name;
    if (!std::fgets(name, sizeof name, file)) name[0] = '\0';
    std::fclose(file);
    if (char* separator = std::strchr(name, fieldSeparator)) *separator = '\0';
    trimBoth(name);
    return name;
}

const char* readAccountName(const char* entryName) {
    static char name[256];
    std::string entry(entryName ? entryName : "");
    // The name normally ends in ".act/"; only when it does not is the first
    // ".act" anywhere in it taken, so that "my.actual.act/" finds its own file.
    std::string stem = entry;
    if (!stem.empty() && stem.back() == '/') stem.pop_back();
    std::size_t cut = std::string::npos;
    for (const char* suffix : {".act", ".ACT"}) {
        if (stem.size() >= 4 && stem.compare(stem.size() - 4, 4, suffix) == 0) cut = stem.size() - 4;
    }
    if (cut == std::string::npos) cut = entry.find(".act");
    if (cut == std::string::npos) cut = entry.find(".ACT");
    if (cut == std::string::npos) return nullptr;
    std::string path = entry.substr(0, cut + 4) + "/acct.ini";

    std::FILE* file = platform::openFile(path, "rb");
    if (!file) fatalError(3640, "Account ini file [%s]not found", path.c_str());
    std::memset(name, 0, sizeof name);
    if (std::fseek(file, 512, SEEK_SET) == 0) {
        std::size_t n = std::fread(name, 1, sizeof name - 1, file);
        name[n] = '\0';
    }
    std::fclose(file);
    trimBoth(name);
    return name;
}
