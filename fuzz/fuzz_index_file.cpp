// The index line reader on a folder.bag (or, as the restore job reads it,
// a backup.bag) made from the input, with the message files it names
// present, present in another letter case, or absent.
//
// Properties: with the directory listing and without it the same lines are
// accepted; a folder.bag line is kept only when its message file exists;
// every entry written back by writeIndexLine reads back as written.
#include "fuzz_support.h"
#include "index_file.h"
#include "settings.h"

#include <cctype>
#include <cstring>
#include <strings.h>
#include <set>

namespace {

constexpr char separator = '\xDE';

// The eleventh field of each line, where a message file name stands.
std::vector<std::string> namedFiles(std::string_view bytes) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        std::size_t field = 0;
        for (int i = 0; i < 10 && field != std::string_view::npos; ++i) {
            field = line.find(separator, field);
            if (field != std::string_view::npos) ++field;
        }
        if (field != std::string_view::npos) {
            std::size_t stop = line.find(separator, field);
            if (stop != std::string_view::npos) names.emplace_back(line.substr(field, stop - field));
        }
        start = end + 1;
    }
    return names;
}

bool plainName(const std::string& name) {
    return !name.empty() && name.size() < 200 && name != "." && name != ".." &&
           name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::vector<IndexEntry> entriesOf(LL* list) {
    std::vector<IndexEntry> entries;
    TypedLL<IndexEntry>(list).forEach([&](const IndexEntry& e) { entries.push_back(e); });
    return entries;
}

bool sameTexts(const IndexEntry& a, const IndexEntry& b) {
    const char* const x[] = {a.date, a.time, a.subject, a.recipientAddress, a.recipientName,
                             a.senderAddress, a.senderName, a.sizeText, a.fileName};
    const char* const y[] = {b.date, b.time, b.subject, b.recipientAddress, b.recipientName,
                             b.senderAddress, b.senderName, b.sizeText, b.fileName};
    for (int i = 0; i < 9; ++i)
        if (std::strcmp(x[i], y[i]) != 0) return false;
    return a.value1 == b.value1 && a.value2 == b.value2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static LL* viaListing = CreatLL();
    static LL* viaStatus = CreatLL();
    static LL* reread = CreatLL();
    const int mode = data[0];
    const bool restoring = mode & 1;
    const bool createFiles = mode & 2;
    const bool otherCase = mode & 4;
    settings.verbose = mode & 8 ? 1 : 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::filesystem::path dir = fuzz::freshDirectory("folder");
    fuzz::writeFile(dir / (restoring ? "backup.bag" : "folder.bag"), bytes);
    std::set<std::string> created;
    if (createFiles) {
        for (std::string name : namedFiles(bytes)) {
            if (!plainName(name)) continue;
            if (otherCase)
                for (char& c : name) c = static_cast<char>(std::islower(static_cast<unsigned char>(c)) ? std::toupper(static_cast<unsigned char>(c)) : std::tolower(static_cast<unsigned char>(c)));
            std::error_code failed;
            std::ofstream(dir / name).close();
            if (std::filesystem::exists(dir / name, failed)) created.insert(name);
        }
    }

    ClearLL(viaListing);
    ClearLL(viaStatus);
    const IndexKind kind = restoring ? IndexKind::backup : IndexKind::folder;
    FUZZ_CHECK(readIndexFile("./folder/", viaListing, kind) == 0);
    FUZZ_CHECK(readIndexFile("./folder/", viaStatus, kind, nullptr) == 0);
    FUZZ_CHECK(indexFileFound(viaListing) && indexFileFound(viaStatus));
    std::vector<IndexEntry> a = entriesOf(viaListing), b = entriesOf(viaStatus);
    FUZZ_CHECK(a.size() == b.size());
    for (std::size_t i = 0; i < a.size(); ++i) FUZZ_CHECK(sameTexts(a[i], b[i]));
    if (!restoring && !createFiles) {
        // Only the index itself, or a name that reaches outside the folder,
        // can find a file.
        for (const IndexEntry& e : a)
            FUZZ_CHECK(strcasecmp(e.fileName, "folder.bag") == 0 || std::strpbrk(e.fileName, "/\\") != nullptr);
    }
    for (const IndexEntry& e : a) FUZZ_CHECK(restoring ? e.changeTime == 0 : e.changeTime != 0);

    // Written back and read again (as backup.bag, which keeps every line),
    // each entry is what writeIndexLine made of it: texts trimmed, nothing
    // lost, nothing merged.
    std::FILE* out = std::fopen("rewritten.bag", "wb");
    FUZZ_CHECK(out != nullptr);
    for (IndexEntry& e : a) FUZZ_CHECK(writeIndexLine(out, e, true) == 0);
    std::fclose(out);
    const std::filesystem::path again = fuzz::freshDirectory("again");
    std::filesystem::rename("rewritten.bag", again / "backup.bag");
    ClearLL(reread);
    readIndexFile("./again/", reread, IndexKind::backup);
    std::vector<IndexEntry> c = entriesOf(reread);
    FUZZ_CHECK(c.size() == a.size());
    for (std::size_t i = 0; i < a.size(); ++i) FUZZ_CHECK(sameTexts(a[i], c[i]));
    return 0;
}
