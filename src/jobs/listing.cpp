// Listing: which archive holds which message.
//
// backup.bag of each archive comes straight from unzip into memory (never
// into the main directory, where a running archive job keeps its own), and
// its entries pass through the restore's own selection, so that what is
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

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The archive carries its own index under the name it was written with.
constexpr const char* indexMember = backupIndexName;
constexpr int unzipFoundNoMember = 11;  // unzip's status when no member matched

bool verbose() { return settings.verbose != 0; }

bool hasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

bool endsInZip(const std::string& name) {
    return name.size() >= 4 && equalNoCase(std::string_view(name).substr(name.size() - 4), ".zip");
}

void appendField(std::string& line, const char* text) {
    if (!text) return;
    const std::size_t start = line.size();
    line.append(text);
    // One pass without a branch out of it over what was appended.
    char* p = &line[start];
    const std::size_t n = line.size() - start;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = p[i];
        p[i] = (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
    }
}

bool namesSomeoneElse(const char* name, const char* address) {
    if (!name || !*name || std::string_view(name) == "(null)") return false;
    return !address || std::string_view(name) != address;
}

// The archive's field, the same on each of its lines.
std::string archiveField(const std::string& archive) {
    std::string field;
    appendField(field, archive.c_str());
    return field;
}

// `archive` as archiveField gives it.
void appendListedLine(std::string& out, const std::string& archive, const IndexEntry& entry, const char* storedPath) {
    out += archive;
    out += '\t';
    appendField(out, entry.date);
    out += '\t';
    appendField(out, entry.time);
    out += '\t';
    if (namesSomeoneElse(entry.senderName, entry.senderAddress)) {
        appendField(out, entry.senderName);
        out += " <";
        appendField(out, entry.senderAddress);
        out += '>';
    } else {
        appendField(out, entry.senderAddress);
    }
    out += '\t';
    appendField(out, entry.subject);
    out += '\t';
    appendField(out, storedPath);
}

// A restore refuses an entry whose path could lead out of the store; it
// is not listed either.
bool restoreWouldTake(const char* path, std::string& scratch) {
    scratch = path;
    lowerCase(scratch);
    RestorePath parts;
    return splitRestorePath(scratch, parts);
}

// What is listed from one archive: its index taken a block at a time,
// each block's entries selected and their lines made.
class ArchiveListing {
public:
    // The lines go to `lines`, which is cleared first (its room is kept
    // from archive to archive).
    ArchiveListing(const ListedArchive& archive, LL* entries, std::string& lines)
        : archiveField_(archiveField(archive.shown)), entries_(entries), reader_(entries), lines_(lines) {
        ClearLL(entries_);
        lines_.clear();
    }
    void add(const char* bytes, std::size_t size) {
        reader_.add(bytes, size);
        listBatch();
    }
    void finish() {
        reader_.finish();
        listBatch();
    }
    int read() const { return read_; }
    int listed() const { return listed_; }

private:
    void listBatch();

    const std::string archiveField_;
    LL* entries_;
    ArchiveIndexReader reader_;
    int read_ = 0;
    int listed_ = 0;
    std::string& lines_;
    struct Original {
        const char* compared;  // the entry's own text, which the selection lower-cases in place
        std::string original;
    };
    std::vector<Original> originals_;
    std::string scratch_;
};

void ArchiveListing::listBatch() {
    if (SizeLL(FirstLL(entries_)) == 0) return;
    // Only the account and folder selections compare paths, and they
    // lower-case them to do so; the listing shows them as the index holds
    // them.
    const bool pathsCompared = CountLL(settings.accountDir) > 0 || CountLL(settings.folderName) > 0;
    originals_.clear();
    for (void* e = FirstLL(entries_); SizeLL(e) != 0; e = NextLL(e)) {
        IndexEntry& entry = *static_cast<IndexEntry*>(e);
        ++read_;
        if (!pathsCompared) continue;
        originals_.push_back({entry.fileName, entry.fileName});
    }
    selectForRestore(entries_);

    std::size_t next = 0;  // the selection keeps the order, so one pass finds every original
    for (void* e = FirstLL(entries_); SizeLL(e) != 0; e = NextLL(e)) {
        const IndexEntry& entry = *static_cast<const IndexEntry*>(e);
        const char* original = entry.fileName;
        if (pathsCompared) {
            while (next < originals_.size() && originals_[next].compared != entry.fileName) ++next;
            if (next == originals_.size()) break;  // cannot happen: the selection only deletes
            original = originals_[next++].original.c_str();
        }
        if (!restoreWouldTake(entry.fileName, scratch_)) continue;
        appendListedLine(lines_, archiveField_, entry, original);
        lines_ += '\n';
        ++listed_;
    }
    ClearLL(entries_);
}

// An archive's index as unzip gave it, in the blocks it came in (kept as
// they are rather than copied into one).
struct FetchedIndex {
    int status = -1;  // unzip's; -1 for a directory, which is not asked for
    std::vector<std::string> blocks;
};

FetchedIndex fetchIndex(const ListedArchive& archive) {
    FetchedIndex fetched;
    if (archive.isDirectory) return fetched;
    fetched.status = readArchiveMember(archive.path.c_str(), indexMember, [&fetched](const char* bytes, std::size_t size) {
        fetched.blocks.emplace_back(bytes, size);
    });
    return fetched;
}

// Takes the indexes out of the archives on two helper threads, each
// running one unzip at a time, at most `ahead` archives beyond the one the
// main thread waits for: while the main thread reads, selects and prints
// one index, unzip inflates the next ones. unzip's start and its reading
// of the archive's directory are most of its time, and two of them side by
// side keep both cores busy. The main thread takes the indexes in name
// order whatever order they come in. Without threads, each index is taken
// out when it is asked for.
class IndexFetcher {
public:
    explicit IndexFetcher(const std::vector<ListedArchive>& archives)
        : archives_(archives), fetched_(archives.size()), done_(archives.size(), false) {
        for (std::thread& t : threads_)
            if (platform::startQuietThread(t, [this] { work(); })) ++started_;
    }
    ~IndexFetcher() { stop(); }
    IndexFetcher(const IndexFetcher&) = delete;
    IndexFetcher& operator=(const IndexFetcher&) = delete;

    // The index of the next archive, in name order.
    FetchedIndex next() {
        const std::size_t k = taken_++;
        if (started_ == 0) return fetchIndex(archives_[k]);
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this, k] { return done_[k]; });
        FetchedIndex fetched = std::move(fetched_[k]);
        fetched_[k] = FetchedIndex();
        takenShared_ = taken_;
        changed_.notify_all();
        return fetched;
    }

    // Lets the unzips that run end, and the threads with them.
    void stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : threads_)
            if (t.joinable()) t.join();
    }

private:
    static constexpr std::size_t ahead = 3;

    void work() {
        for (;;) {
            std::size_t k = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] {
                    return stopping_ || nextToFetch_ == archives_.size() || nextToFetch_ < takenShared_ + ahead;
                });
                if (stopping_ || nextToFetch_ == archives_.size()) return;
                k = nextToFetch_++;
            }
            FetchedIndex fetched = fetchIndex(archives_[k]);
            std::lock_guard<std::mutex> lock(mutex_);
            fetched_[k] = std::move(fetched);
            done_[k] = true;
            changed_.notify_all();
        }
    }

    const std::vector<ListedArchive>& archives_;
    std::thread threads_[2];
    int started_ = 0;
    std::size_t taken_ = 0;  // the main thread's own count
    // Under the mutex:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<FetchedIndex> fetched_;
    std::vector<bool> done_;
    std::size_t nextToFetch_ = 0;
    std::size_t takenShared_ = 0;
    bool stopping_ = false;
};

// The fetcher of the listing under way, for the end of the run, which may
// come from a fatal error while its thread still runs unzip. Only the main
// thread touches it.
IndexFetcher* runningFetcher = nullptr;

void stopFetching() {
    if (runningFetcher) runningFetcher->stop();
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
    appendListedLine(line, archiveField(archive), entry, storedPath);
    return line;
}

void runListing() {
    // Nothing listed is status 1, whatever the reason.
    if (!checkZipVersion(ZipProgram::unzip)) endProcess(1);
    resolveAccountNames();

    const std::string given = settings.archiveFile ? settings.archiveFile : "ARCHIV??.zip";
    const std::vector<ListedArchive> archives = archivesToList(given);
    if (archives.empty()) {
        reportWarning(4543, "No archive matches %s", given.c_str());
        endProcess(1);
    }

    // The jobs' list of index entries holds one block's entries at a time.
    LL* entries = settings.topIndexed;
    int messages = 0;
    int entriesRead = 0;  // before the selection: says when the selection is what left nothing
    int archivesRead = 0;
    std::string lines;  // those of one archive
    IndexFetcher fetcher(archives);
    runningFetcher = &fetcher;
    runBeforeEnd(stopFetching);
    for (const ListedArchive& archive : archives) {
        if (verbose()) consoleLinef("Listing %s", archive.shown.c_str());
        const FetchedIndex fetched = fetcher.next();
        if (fetched.status == unzipFoundNoMember) {
            reportWarning(4542, "No backup.bag in %s: not listed", archive.shown.c_str());
            continue;
        }
        if (fetched.status != 0) {
            reportWarning(4541, "Not a readable archive: %s", archive.shown.c_str());
            continue;
        }
        // A block at a time, so that the list holds a block's entries at a time.
        ArchiveListing listing(archive, entries, lines);
        for (const std::string& block : fetched.blocks) listing.add(block.data(), block.size());
        listing.finish();
        ++archivesRead;
        entriesRead += listing.read();
        messages += listing.listed();
        // One write to standard output and one to the report file per archive.
        std::fwrite(lines.data(), 1, lines.size(), stdout);
        std::fflush(stdout);
        logLines(lines.data(), lines.size());
    }
    fetcher.stop();
    runningFetcher = nullptr;

    consoleLinef("Listed %d of %d message(s) in %d archive(s)", messages, entriesRead, archivesRead);
    if (messages == 0) endProcess(1);
}
