// The reindex job: every folder's folder.bag brought back in line with the
// message files that are really there. Lines that still have their file
// keep every field; files the index did not know get a line built from
// their headers.
#include "account_scan.h"
#include "diagnostics.h"
#include "folder_index.h"
#include "jobs.h"
#include "platform.h"
#include "settings.h"
#include "store.h"
#include "util.h"

#include <cerrno>
#include <string>
#include <string_view>
#include <unordered_set>

namespace {

void reindexDirectory(const std::string& dirPath, LL* selectedList, LL* indexedList) {
    // Deeper folders first.
    for (void* e = FirstLL(selectedList); SizeLL(e) != 0; e = NextLL(e)) {
        IndexEntry& node = *static_cast<IndexEntry*>(e);
        if (isDirectoryNode(node)) reindexDirectory(joinStorePath(dirPath, node.fileName), node.selected, node.indexed);
    }

    // Keys are compared exactly: the client tells "Note" from "note".
    BaseNameLookup known(indexedList, false);
    for (void* e = FirstLL(selectedList); SizeLL(e) != 0; e = NextLL(e)) {
        IndexEntry& message = *static_cast<IndexEntry*>(e);
        if (isDirectoryNode(message) || known.first(message.fileName)) continue;
        auto* added = static_cast<IndexEntry*>(AppendLL(indexedList, sizeof message, &message));
        known.add(added);
        if (settings.verbose) consoleLinef("Inserting bag entry for new file: %s", message.fileName);
    }

    // The names are kept for the whole run, so views of them will do.
    std::unordered_set<std::string_view> onDisk;
    onDisk.reserve(static_cast<std::size_t>(CountLL(selectedList)));
    for (void* e = FirstLL(selectedList); SizeLL(e) != 0; e = NextLL(e)) {
        const IndexEntry& message = *static_cast<IndexEntry*>(e);
        if (!isDirectoryNode(message)) onDisk.emplace(baseName(message.fileName));
    }
    for (void* e = FirstLL(indexedList); SizeLL(e) != 0;) {
        void* next = NextLL(e);
        IndexEntry& line = *static_cast<IndexEntry*>(e);
        if (onDisk.count(baseName(line.fileName)) == 0) {
            if (settings.verbose) consoleLinef("Deleting bag entry for file, file not found: %s", line.fileName);
            DeleteLL(e);
        }
        e = next;
    }

    std::string indexPath = joinStorePath(dirPath, "folder.bag");
    if (settings.verbose)
        consoleLinef("Rewriting bag file: %s, total of %d remaining files", indexPath.c_str(), CountLL(indexedList));
    // The main directory and the account directories have no index.
    if (!insideFolder(indexPath)) return;

    // folder.bag names the bare file; new entries still hold the whole path.
    for (void* e = FirstLL(indexedList); SizeLL(e) != 0; e = NextLL(e)) {
        IndexEntry& line = *static_cast<IndexEntry*>(e);
        std::string_view name = fileNamePart(line.fileName);
        if (name.size() != std::char_traits<char>::length(line.fileName)) line.fileName = keepString(name);
    }
    if (replaceWritableFolderIndex(indexPath, indexedList, 4650) != 0)
        fatalError(4655, "Error opening bag file: %s", indexPath.c_str());
}

}  // namespace

void runReindex() {
    if (settings.verbose) consoleLinef("Reindexing files");
    if (settings.verbose) consoleLinef("Scanning folders and files:");
    // Every message and folder is looked at; nothing goes to zip.
    AccountScan scan;
    scan.rules.selection = Selection::everything;
    scan.keepEmptyAccounts = true;
    scanAccounts(scan);

    if (settings.verbose) {
        printScanTotals("\n");
        if (filesRead != 0) consoleLinef("Average of %d lines/file read", linesRead / filesRead);
    }

    reindexDirectory("./", settings.topSelected, settings.topIndexed);
}
