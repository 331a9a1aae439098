// The walk over accounts and folders that builds the scan tree and the zip
// list file.
#pragma once

#include "index_entry.h"
#include "util.h"

// Walks `dir` (ending in "/": "./" or "./name.act/"). First reads dir's own
// index into `indexedList` (readIndexFile). Then, for every entry in name
// order (names beginning with "." skipped):
//  - a sub-directory: its folder.ini, and for a ".act" directory its
//    acct.ini, go on the list file when they exist (archiveFileCount); a
//    directory node is appended to `selectedList` and filled by a nested
//    walk, whose messages are looked at when folderSelected says so;
//  - a file, when `scanMessages`: the header reader builds its entry; when
//    messageSelected takes it, dir + name goes on the list file, the entry
//    is appended to `selectedList` and its size added to archiveBytes.
// The list file must be open (openListFile) when anything is to be
// archived; the reindex job may walk without one only if it accepts the
// list file's error lines. Unreadable and non-message files are skipped;
// a directory that cannot be listed contributes nothing. `handle` is kept
// for the callers' calling sequence: the walk lists each directory once
// and holds that listing itself. Returns 0, -1 when `dir` could not be
// listed, or 0 without doing anything when `dir`, `selectedList` or
// `handle` is null.
int scanDirectory(const char* dir, LL* selectedList, LL* indexedList, DirHandle* handle, bool scanMessages);

// 1 when the messages directly in the sub-directory node.fileName of
// parentDir are to be looked at. Account directories, the reindex job and
// a run without folder selectors take every folder. A folderDir selector
// selects by directory name prefix or, when it holds a separator, by path
// below the main directory (components compared ignoring case, a leading
// ".\" optional; a nested one also selects every folder below it). A
// folderName selector selects by display name prefix; a nested one also
// selects the folders below the match, by appending a nested path selector
// to folderDir.
int folderSelected(const char* parentDir, const IndexEntry& node);
