// The reindex job: every folder's folder.bag brought back in line with the
// message files that are really there. Lines that still have their file
// keep every field; files the index did not know get a line built from
// their headers.
#include "diagnostics.h"
#include "folder_index.h"
#include "jobs.h"
#include "platform.h"
#include "settings.h"
#include "store.h"
#include "util.h"
#include "zip.h"

#include <cerrno>
#include <string>
#include <string_view>
#include <unordered_set>

void reindexDirectory(const std::string& dirPath, LL* selectedList, LL* indexedList);

namespace {

IndexEntry accountNode(const std::string& name) {
    IndexEntry node{};
    node.fileName = keepString(name);
    node.selected = CreatLL();
    node.indexed = CreatLL();
    return node;
}

}  // namespace

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

    const platform::Error denied = platform::makeWritable(indexPath);
    if (denied && !platform::isNotFound(denied))
        reportWarning(4650, "CHMOD error [%d] on file [%s]", denied.number, indexPath.c_str());
    // folder.bag names the bare file; new entries still hold the whole path.
    for (void* e = FirstLL(indexedList); SizeLL(e) != 0; e = NextLL(e)) {
        IndexEntry& line = *static_cast<IndexEntry*>(e);
        std::string_view name = fileNamePart(line.fileName);
        if (name.size() != std::char_traits<char>::length(line.fileName)) line.fileName = keepString(name);
    }
    if (replaceFolderIndex(indexPath, indexedList) != 0) fatalError(4655, "Error opening bag file: %s", indexPath.c_str());
}

void runReindex() {
    if (!settings.topSelected) settings.topSelected = CreatLL();
    if (!settings.topIndexed) settings.topIndexed = CreatLL();
    if (settings.verbose) consoleLinef("Reindexing files");
    if (!openListFile()) fatalError(4696, "Cannot open temp file");
    if (settings.verbose) consoleLinef("Scanning folders and files:");

    if (CountLL(settings.accountDir) == 0) {
        DirHandle handle = 0;
        scanDirectory("./", settings.topSelected, settings.topIndexed, &handle, true);
    } else {
        for (void* e = FirstLL(settings.accountDir); SizeLL(e) != 0; e = NextLL(e)) {
            std::string name = static_cast<const char*>(e);
            if (name.empty() || (name.back() != '/' && name.back() != '\\')) name += '/';
            IndexEntry node = accountNode(name);
            DirHandle handle = 0;
            scanDirectory(("./" + name).c_str(), node.selected, node.indexed, &handle, true);
            AppendLL(settings.topSelected, sizeof node, &node);
        }
    }

    if (settings.verbose) {
        consoleLinef("\nFolder scan completed\n");
        consoleLinef("Total of %d files read\n", filesRead);
        consoleLinef("Total of %d lines read\n", linesRead);
        if (filesRead != 0) consoleLinef("Average of %d lines/file read", linesRead / filesRead);
    }

    reindexDirectory("./", settings.topSelected, settings.topIndexed);
    closeListFile();
    removeListFile();
}
