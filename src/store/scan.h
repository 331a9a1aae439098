// The walk over accounts and folders that builds the scan tree and hands
// out the paths of what it selects.
#pragma once

#include "filters.h"
#include "index_entry.h"

#include <functional>
#include <string>
#include <string_view>

// A node of the scan tree for the directory `name` (as it is joined to its
// parent's path, such as "inbox.fld/"), with its two lists empty.
IndexEntry directoryNode(std::string_view name);

// What a walk selects, and where the paths of the selected files go.
struct ScanRules {
    Selection selection = Selection::byCriteria;
    // Called, in walk order, with the path of each selected file as the
    // file system spells it ("/" separators): the messages taken, and the
    // folder.ini and acct.ini of every directory walked. Empty: the paths
    // are not wanted (the reindex job).
    std::function<void(const std::string& diskPath)> takePath;
};

// Walks `dir` (ending in "/": "./" or "./name.act/"). First reads dir's own
// folder.bag into `indexedList` (readIndexFile). Then, for every entry in
// name order (names beginning with "." skipped):
//  - a sub-directory: its folder.ini, and for a ".act" directory its
//    acct.ini, are selected when they exist (archiveFileCount); a
//    directory node is appended to `selectedList` and filled by a nested
//    walk, whose messages are looked at when folderSelected says so;
//  - a file, when `scanMessages`: the header reader builds its entry; when
//    messageSelected takes it, dir + name is selected, the entry is
//    appended to `selectedList` and its size added to archiveBytes.
// Every selected path goes to rules.takePath. Unreadable and non-message
// files are skipped; a directory that cannot be listed contributes
// nothing. Returns 0, -1 when `dir` could not be listed, or 0 without
// doing anything when `dir` or `selectedList` is null.
int scanDirectory(const char* dir, LL* selectedList, LL* indexedList, bool scanMessages, const ScanRules& rules);

// 1 when the messages directly in the sub-directory node.fileName of
// parentDir are to be looked at. Account directories, Selection::everything
// and a run without folder selectors take every folder. A folderDir selector
// selects by directory name prefix or, when it holds a separator, by path
// below the main directory (components compared ignoring case, a leading
// ".\" optional; a nested one also selects every folder below it). A
// folderName selector selects by display name prefix; a nested one also
// selects the folders below the match, by appending a nested path selector
// to folderDir.
int folderSelected(const char* parentDir, const IndexEntry& node, Selection selection);
