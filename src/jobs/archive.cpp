// The archive job: selected messages, the folders' and accounts' settings
// files and the index backup.bag go into one zip archive; with delete the
// archived messages leave the store.
#include "archive.h"

#include "account_scan.h"
#include "archive_verify.h"
#include "diagnostics.h"
#include "folder_index.h"
#include "jobs.h"
#include "options.h"
#include "platform.h"
#include "settings.h"
#include "store.h"
#include "thread_counts.h"
#include "util.h"
#include "zip.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

namespace {

void scanStore() {
    AccountScan scan;
    scan.rules.takePath = [](const std::string& diskPath) { addSpelledPathToListFile(diskPath); };
    scan.announce = true;
    scanAccounts(scan);
}

void printStatistics() {
    printScanTotals("");
    consoleLinef("Total of %d files to be archived", archiveFileCount);
    consoleLinef("Total of %lld bytes to be archived", archiveBytes);
    if (filesRead != 0) consoleLinef("Scanned average of %d lines/file", linesRead / filesRead);
    consoleLinef("\nEstimated %lld bytes will be recovered at 50%% compression.\n", archiveBytes / 2);
}

}  // namespace

std::string archivePath() {
    std::string path = archiveFilePath(settings.archiveFile);
    normalizeSeparators(path.data());
    path.resize(std::strlen(path.c_str()));
    return path;
}

void writeBackupEntries(std::FILE* backup, LL* selected, LL* indexed) {
    // The client's values come from the folder's index; the look-up is made
    // once per folder, and only when the folder has selected messages.
    std::unique_ptr<BaseNameLookup> lookup;
    for (void* e = FirstLL(selected); SizeLL(e) != 0; e = NextLL(e)) {
        IndexEntry& p = *static_cast<IndexEntry*>(e);
        if (isDirectoryNode(p)) {
            writeBackupEntries(backup, p.selected, p.indexed);
            continue;
        }
        if (!lookup) lookup = std::make_unique<BaseNameLookup>(indexed, true);
        if (const IndexEntry* known = lookup->first(p.fileName)) {
            p.value1 = known->value1;
            p.value2 = known->value2;
        }
        if (writeIndexLine(backup, p, true) != 0)
            fatalError(4086, "Error [%d] writing the archive index %s", errno, backupIndexName);
    }
}

void writeBackupIndex() {
    std::FILE* backup = platform::openFile(backupIndexName, "wb");
    if (!backup) fatalError(4086, "Error [%d] writing the archive index %s", errno, backupIndexName);
    ++archiveFileCount;
    addToListFile(backupIndexName);
    writeBackupEntries(backup, settings.topSelected, settings.topIndexed);
    if (std::fflush(backup) != 0 || std::ferror(backup)) {
        int error = errno;
        std::fclose(backup);
        fatalError(4086, "Error [%d] writing the archive index %s", error, backupIndexName);
    }
    if (std::fclose(backup) != 0) fatalError(4086, "Error [%d] writing the archive index %s", errno, backupIndexName);
}

void rewriteIndexes(const std::string& dir, LL* selected, LL* indexed) {
    std::unique_ptr<BaseNameLookup> lookup;
    for (void* e = FirstLL(selected); SizeLL(e) != 0; e = NextLL(e)) {
        IndexEntry& p = *static_cast<IndexEntry*>(e);
        if (isDirectoryNode(p)) {
            rewriteIndexes(joinStorePath(dir, p.fileName), p.selected, p.indexed);
            continue;
        }
        // A message the archive is not proven to hold keeps its line: it stays.
        if (!isProven(p)) continue;
        if (!lookup) lookup = std::make_unique<BaseNameLookup>(indexed, true);
        if (IndexEntry* line = lookup->takeFirst(p.fileName)) DeleteLL(line);
    }

    std::string indexPath = joinStorePath(dir, "folder.bag");
    if (settings.verbose)
        consoleLinef("Rewriting bag file: %s, total of %d remaining files", indexPath.c_str(), CountLL(indexed));
    if (!insideFolder(indexPath)) return;
    // The client lists nothing of a folder whose index is empty: a folder
    // that had no index keeps having none.
    if (!indexFileFound(indexed)) return;

    const int error = replaceWritableFolderIndex(indexPath, indexed, 3860);
    if (error != 0) fatalError(3866, "Error [%d] opening bag file: %s", error, indexPath.c_str());
}

namespace {

// What the deletion did with one selected message; the warnings are given
// afterwards, in the store's order, whichever thread did the work.
struct Removal {
    IndexEntry* message = nullptr;
    bool proven = false;
    bool changed = false;  // proven, but no longer as it was
    platform::Error denied;
};

void collectRemovals(LL* selected, std::vector<Removal>& removals) {
    for (void* e = FirstLL(selected); SizeLL(e) != 0; e = NextLL(e)) {
        IndexEntry& p = *static_cast<IndexEntry*>(e);
        if (isDirectoryNode(p)) {
            collectRemovals(p.selected, removals);
            continue;
        }
        Removal r;
        r.message = &p;
        r.proven = isProven(p);
        removals.push_back(r);
    }
}

void removeProven(Removal& r) {
    // Its line is gone already; a reindex lists it again.
    if (!stillAsProven(*r.message)) {
        r.changed = true;
        return;
    }
    r.denied = platform::makeWritable(r.message->fileName);
    platform::removeFile(r.message->fileName);  // a failure here is not reported
}

void removeAll(std::vector<Removal>& removals) {
    std::vector<Removal*> work;
    for (Removal& r : removals)
        if (r.proven) work.push_back(&r);
    std::atomic<std::size_t> next{0};
    auto removeNext = [&work, &next] {
        for (std::size_t i; (i = next.fetch_add(1)) < work.size();) removeProven(*work[i]);
    };
    std::vector<std::thread> threads;
    if (work.size() >= threadCounts::removeOnThreadsFrom) {
        for (std::size_t t = 0; t < threadCounts::messageRemovers; ++t) {
            std::thread thread;
            if (!platform::startQuietThread(thread, removeNext)) break;
            threads.push_back(std::move(thread));
        }
    }
    removeNext();  // the main thread takes its share, and all of it without threads
    for (std::thread& thread : threads) thread.join();
}

}  // namespace

void deleteArchived(LL* selected) {
    std::vector<Removal> removals;
    collectRemovals(selected, removals);
    removeAll(removals);
    for (const Removal& r : removals) {
        if (!r.proven) reportKept(*r.message);
        else if (r.changed) reportChangedBeforeDeletion(*r.message);
        else warnIfNotWritable(3910, r.denied, r.message->fileName);
    }
}

void archiveJob() {
    if (!checkZipVersion(ZipProgram::zip)) return;
    if (settings.verbose) consoleLinef("Archiving files");

    bool namesGiven = settings.accountName && CountLL(settings.accountName) != 0;
    resolveAccountNames();
    if (namesGiven && CountLL(settings.accountDir) == 0) fatalError(4006, "No directories selected by name!");

    if (!openListFile()) fatalError(4010, "Cannot open temp file");
    if (settings.verbose) consoleLinef("Scanning folders and files:");
    scanStore();
    if (settings.verbose) printStatistics();
    if (filesRead == 0) fatalError(4071, "Archive aborted - No files to archive!");

    // Verbose level 3 is a dry run: the list file stays, open, for the user
    // to read what would have been archived.
    if (settings.verbose == 3) return;

    writeBackupIndex();
    closeListFile();
    // An archive made from a short list would be reported as done; stop
    // before zip instead, with the store untouched.
    if (!listFileComplete()) fatalError(4088, "The list of files to archive could not be written: nothing was archived");
    const int claim = claimArchiveFile();
    std::string archive = archivePath();
    platform::FileIdentity claimed;
    platform::fileIdentity(archive, claimed);
    if (settings.verbose) {
        consoleLinef("Zip file name: %s", archive.c_str());
        consoleLinef("\nZip being called.  It may spend some time analyzing the");
        consoleLinef("files specified, depending upon the number of files selected.");
        consoleLinef("Zip may spend up to %d minutes analyzing the file list", archiveFileCount / 3 / 60);
        consoleLinef("(This is only an estimate based upon observed behaviour).");
    }
    // With delete, the messages' CRC-32s are taken on the second core
    // while zip works; without it, nothing more is done than zip.
    const bool deleting = settings.deleteArchived && settings.verbose < 2;
    if (deleting) startNotingMessages(settings.topSelected);
    const std::time_t zipStarted = std::time(nullptr);
    int zipResult = zipFiles(listFileName, archive.c_str(), settings.zipNoisy ? 1 : 0);
    platform::keepClaimedFile(claim);
    platform::removeFile(backupIndexName);
    removeListFile();

    // A scheduler must be able to tell that the archive was not written.
    if (zipResult != 0) {
        // Nothing was added to the claim: no empty archive is left behind.
        platform::FileIdentity now;
        if (platform::fileIdentity(archive, now) && now == claimed) platform::removeFile(archive);
        fatalError(4087, "Zip ended with status %d: the archive may be incomplete, nothing was deleted", zipResult);
    }
    if (!deleting) return;
    platform::FileIdentity written;
    const bool identified = platform::fileIdentity(archive, written);
    if (!proveArchived(archive, zipStarted)) return;
    // The archive just proven must be the one zip wrote, not a file put in
    // its place while it was tested.
    if (!identified || !archiveStillAsWritten(archive, written)) return;
    rewriteIndexes("./", settings.topSelected, settings.topIndexed);
    deleteArchived(settings.topSelected);
}
