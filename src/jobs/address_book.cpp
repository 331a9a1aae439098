// Address book sort: <main directory>../tools/addr.db, one record per line,
// fields ended by the index separator. The previous file is kept as
// addr-bak.db.
//
// A record is kept as the line it was read from, so that a line with empty
// fields, fewer or more than 26 fields, an over-long field or an over-long
// line is written back exactly as it stood; only the sort key is taken out
// of it. Nothing is ever cut or merged with a neighbouring line.
//
// Both files are published by a rename of a complete file written beside
// them: a crash or a full disk leaves addr.db either as it was or sorted,
// never half written or missing.
#include "jobs.h"

#include "address_book.h"

#include "LL.h"
#include "diagnostics.h"
#include "index_entry.h"
#include "platform.h"
#include "settings.h"
#include "util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

struct SortField {
    const char* name;
    int column;
};

// Searched in this order.
constexpr SortField sortFields[] = {
    {"name", 2},
    {"alias", 1},
    {"email", 0},
    {"company", 3},
};

// The column the comparison reads; the alias column unless a field name
// chose another. It keeps its value for the rest of the run.
int sortColumn = 1;

// The records, for the rest of the run like every list of the program.
LL* addressBook = nullptr;

std::string_view keyOf(const AddressRecord& record) {
    return std::string_view(record.line + record.keyOffset, record.keyLength);
}

// Bytewise and ascending, as strcmp orders: upper-case letters before
// lower-case ones.
int compareRecords(const void* a, const void* b) {
    std::string_view x = keyOf(*static_cast<const AddressRecord*>(a));
    std::string_view y = keyOf(*static_cast<const AddressRecord*>(b));
    std::size_t common = x.size() < y.size() ? x.size() : y.size();
    int c = common ? std::memcmp(x.data(), y.data(), common) : 0;
    if (c != 0) return c;
    if (x.size() == y.size()) return 0;
    return x.size() < y.size() ? -1 : 1;
}

// The field of `column` in a line; a line with fewer fields has an empty key.
AddressRecord makeRecord(std::string_view line, int column) {
    AddressRecord record{line.data(), line.size(), line.size(), 0};
    std::size_t start = 0;
    for (int i = 0; i < column; ++i) {
        std::size_t sep = line.find(fieldSeparator, start);
        if (sep == std::string_view::npos) return record;
        start = sep + 1;
    }
    std::size_t end = line.find(fieldSeparator, start);
    if (end == std::string_view::npos) end = line.size();
    record.keyOffset = start;
    record.keyLength = end - start;
    return record;
}

bool readWholeFile(std::FILE* file, std::string& bytes) {
    char block[65536];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, n);
    return std::ferror(file) == 0;
}

bool writeAll(std::FILE* file, const char* data, std::size_t length) {
    return length == 0 || std::fwrite(data, 1, length, file) == length;
}

// Writes `bytes` as the new content of `path`; false when any step fails,
// and then `path` is as it was.
bool replaceFile(const std::string& path, const std::string& bytes) {
    platform::AtomicFile out;
    if (out.open(path)) return false;
    if (!writeAll(out.stream(), bytes.data(), bytes.size())) return false;
    return !out.commit();
}

bool writeSortedBook(const std::string& path, const TypedLL<AddressRecord>& records) {
    platform::AtomicFile out;
    if (out.open(path)) return false;
    bool ok = true;
    records.forEach([&](const AddressRecord& r) {
        if (!ok) return;
        ok = writeAll(out.stream(), r.line, r.lineLength) && std::fputc('\n', out.stream()) != EOF;
    });
    return ok && !out.commit();
}

}  // namespace

void readAddressBookRecords(std::string_view bytes, int column, TypedLL<AddressRecord>& records) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
        if (end == std::string_view::npos) end = bytes.size();
        std::size_t length = end - start;
        if (length > 0 && bytes[start + length - 1] == '\r') --length;
        records.append(makeRecord(bytes.substr(start, length), column));
        start = next;
    }
}

void sortAddressBook(const char* velmorDir, const char* field) {
    const bool verbose = settings.verbose != 0;
    if (verbose) consoleLinef("Sorting addressbook");

    if (field && *field) {
        const SortField* found = nullptr;
        for (const SortField& f : sortFields)
            if (equalNoCase(f.name, field)) {
                found = &f;
                break;
            }
        if (!found) fatalError(5028, "Invalid field for sorting!");
        sortColumn = found->column;
    }

    const std::string mainDir = velmorDir ? velmorDir : "";
    const std::string bookPath = mainDir + "../tools/addr.db";
    const std::string backupPath = mainDir + "../tools/addr-bak.db";

    if (verbose) consoleLinef("Opening address book database file");
    std::string bytes;
    bool readOk = false;
    if (std::FILE* in = platform::openFile(bookPath, "r")) {
        if (verbose) consoleLinef("Reading address book file");
        readOk = readWholeFile(in, bytes);
        std::fclose(in);
    }
    // A read that stops early would give a shorter book: keep the file as it is.
    if (!readOk) fatalError(5043, "Unable to open address book database file!");

    if (!addressBook) addressBook = CreatLL();
    ClearLL(addressBook);
    TypedLL<AddressRecord> records(addressBook);
    // The records live as long as the list, like every list of the program.
    readAddressBookRecords(std::string_view(keepString(bytes), bytes.size()), sortColumn, records);
    SortLL(records.handle(), compareRecords);

    // The backup is a copy of the book as it was, so that addr.db itself
    // exists whole at every moment. The line keeps its old wording (typo
    // and name) because users and their scripts know it.
    if (verbose) consoleLinef("Renaming old address bokk file to addrbak.db");
    // Failing to write either file has always ended the run with 1 and no
    // message; the book is then as it was.
    if (!replaceFile(backupPath, bytes)) endProcess(1);

    if (verbose) consoleLinef("Writing new address book file.");
    if (!writeSortedBook(bookPath, records)) endProcess(1);
}
