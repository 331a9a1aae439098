// Listing: which archive holds which message.
//
// backup.bag of each archive goes to a private temporary file (never to
// the main directory, where a running archive job keeps its own), and its
// entries pass through the restore's own selection, so that what is
// listed from an archive is exactly what a restore with the same options
// would bring back from it. Nothing is written beside the archives or in
// the store.
#include "listing.h"

#include "LL.h"
#include "diagnostics.h"
#include "jobs.h"
#include "options.h"
#include "platform.h"
#include "restore.h"
#include "settings.h"
#include "store.h"
#include "util.h"
#include "zip.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* indexMember = "backup.bag";
constexpr int unzipFoundNoMember = 11;  // unzip's status when no member matched
constexpr std::size_t outputBlock = 64 * 1024;

bool verbose() { return settings.verbose != 0; }

bool hasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

bool endsInZip(const std::string& name) {
    return name.size() >= 4 && equalNoCase(std::string_view(name).substr(name.size() - 4), ".zip");
}

void appendField(std::string& line, const char* text) {
    for (const char* p = text ? text : ""; *p; ++p) line += (*p == '\t' || *p == '\n' || *p == '\r') ? ' ' : *p;
}

bool namesSomeoneElse(const char* name, const char* address) {
    if (!name || !*name || std::string_view(name) == "(null)") return false;
    return !address || std::string_view(name) != address;
}

// The listed lines, written out a block at a time: one write per block to
// standard output and one append to the report file, never one per line.
class ListingOutput {
public:
    void add(const std::string& line) {
        text_ += line;
        text_ += '\n';
        if (text_.size() >= outputBlock) flush();
    }
    void flush() {
        if (text_.empty()) return;
        std::fwrite(text_.data(), 1, text_.size(), stdout);
        std::fflush(stdout);
        logLines(text_.data(), text_.size());
        text_.clear();
    }

private:
    std::string text_;
};

// A restore refuses an entry whose path could lead out of the store; it
// is not listed either.
bool restoreWouldTake(const char* path) {
    std::string lowered = path;
    lowerCase(lowered);
    RestorePath parts;
    return splitRestorePath(lowered, parts);
}

// Lists the entries of one archive's index that a restore with this run's
// options would restore; their count.
int listEntries(const ListedArchive& archive, LL* entries, ListingOutput& out) {
    // The selection lower-cases the paths it compares; the listing shows
    // them as the index holds them.
    struct Stored {
        const char* selected;
        const char* original;
    };
    std::vector<Stored> stored;
    stored.reserve(static_cast<std::size_t>(CountLL(entries)));
    for (void* e = FirstLL(entries); SizeLL(e) != 0; e = NextLL(e)) {
        IndexEntry& entry = *static_cast<IndexEntry*>(e);
        const char* original = entry.fileName;
        entry.fileName = keepString(original);
        stored.push_back({entry.fileName, original});
    }
    if (CountLL(entries) > 0) selectForRestore(entries);

    int listed = 0;
    std::size_t next = 0;  // the selection keeps the order, so one pass finds every original
    for (void* e = FirstLL(entries); SizeLL(e) != 0; e = NextLL(e)) {
        const IndexEntry& entry = *static_cast<const IndexEntry*>(e);
        while (next < stored.size() && stored[next].selected != entry.fileName) ++next;
        if (next == stored.size()) break;  // cannot happen: the selection only deletes
        if (!restoreWouldTake(entry.fileName)) continue;
        out.add(listedLine(archive.shown, entry, stored[next].original));
        ++listed;
    }
    return listed;
}

}  // namespace

std::vector<ListedArchive> archivesToList(const std::string& name) {
    std::size_t cut = name.find_last_of("/\\");
    std::string directory;
    if (cut != std::string::npos) {
        directory = name.substr(0, cut + 1);
    } else if (platform::hasDrivePrefix(name)) {
        directory = name.substr(0, 2);
    }
    const std::string pattern = name.substr(directory.size());
    const std::string base = archiveFilePath(directory.c_str());

    auto find = [&base](const std::string& last) {
        std::vector<platform::DirEntry> found;
        for (auto& e : platform::findEntries(base + last))
            if (e.name != "." && e.name != "..") found.push_back(std::move(e));
        return found;
    };
    std::vector<platform::DirEntry> found = pattern.empty() ? std::vector<platform::DirEntry>() : find(pattern);
    if (found.empty() && !pattern.empty() && !hasWildcard(pattern) && !endsInZip(pattern)) found = find(pattern + ".zip");

    std::vector<ListedArchive> archives;
    archives.reserve(found.size());
    for (const auto& e : found) {
        ListedArchive a;
        a.shown = directory + e.name;
        a.path = base + e.name;
        a.isDirectory = (e.attributes & platform::attributeDirectory) != 0;
        archives.push_back(std::move(a));
    }
    return archives;
}

std::string listedLine(const std::string& archive, const IndexEntry& entry, const char* storedPath) {
    std::string line;
    line.reserve(160);
    appendField(line, archive.c_str());
    line += '\t';
    appendField(line, entry.date);
    line += '\t';
    appendField(line, entry.time);
    line += '\t';
    if (namesSomeoneElse(entry.senderName, entry.senderAddress)) {
        appendField(line, entry.senderName);
        line += " <";
        appendField(line, entry.senderAddress);
        line += '>';
    } else {
        appendField(line, entry.senderAddress);
    }
    line += '\t';
    appendField(line, entry.subject);
    line += '\t';
    appendField(line, storedPath);
    return line;
}

void runListing() {
    // Nothing listed is status 1, whatever the reason.
    if (!checkZipVersion(2)) endProcess(1);
    resolveAccountNames();

    const std::string given = settings.archiveFile ? settings.archiveFile : "ARCHIV??.zip";
    const std::vector<ListedArchive> archives = archivesToList(given);
    if (archives.empty()) {
        reportWarning(4543, "No archive matches %s", given.c_str());
        endProcess(1);
    }

    const std::string bag = platform::createTemporaryFile();
    if (bag.empty()) {
        reportWarning(4544, "Cannot make a temporary file for backup.bag");
        endProcess(1);
    }

    ListingOutput out;
    LL* entries = CreatLL();
    int messages = 0;
    int entriesRead = 0;  // before the selection: says when the selection is what left nothing
    int archivesRead = 0;
    for (const ListedArchive& archive : archives) {
        if (verbose()) consoleLinef("Listing %s", archive.shown.c_str());
        const int status = archive.isDirectory ? -1 : printMemberTo(archive.path.c_str(), indexMember, bag);
        if (status == unzipFoundNoMember) {
            reportWarning(4542, "No backup.bag in %s: not listed", archive.shown.c_str());
            continue;
        }
        if (status != 0) {
            reportWarning(4541, "Not a readable archive: %s", archive.shown.c_str());
            continue;
        }
        ++archivesRead;
        ClearLL(entries);
        readArchiveIndex(bag, entries);
        entriesRead += CountLL(entries);
        messages += listEntries(archive, entries, out);
        out.flush();
    }
    platform::removeTemporaryFile(bag);

    consoleLinef("Listed %d of %d message(s) in %d archive(s)", messages, entriesRead, archivesRead);
    if (messages == 0) endProcess(1);
}
