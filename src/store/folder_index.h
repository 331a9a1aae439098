// Pieces for the jobs that rewrite folder indexes (archive with delete,
// reindex): joining store paths, the names by which index lines
// and message files are matched, a look-up of index lines by that name
// built once per folder, and the safe rewrite of one folder.bag.
#pragma once

#include "index_entry.h"
#include "platform.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// `dir` and `name` with one separator between them ("./" + "a.act/" gives
// "./a.act/"; "./a.act" + "in.fld/" gives "./a.act/in.fld/").
std::string joinStorePath(const std::string& dir, std::string_view name);

// The file name of a path without its directory: "./a.act/in.fld/1.msg"
// gives "1.msg".
std::string_view fileNamePart(std::string_view path);
// The file name without directory and extension: "1.msg" and
// "./a.act/in.fld/1.msg" both give "1". A directory node ("in.fld/")
// gives "".
std::string_view baseName(std::string_view path);

// Index entries of one list by base name, in list order, each entry found
// in O(1). Keys are compared exactly or, with `ignoreCase`, without regard
// to letter case. Holds pointers into the list: an entry must be taken
// out of the look-up (takeFirst) before it is deleted from the list.
class BaseNameLookup {
public:
    BaseNameLookup(LL* entries, bool ignoreCase);
    // The first entry still held whose base name matches, or null.
    IndexEntry* first(std::string_view path) const;
    // As first(), and the entry is no longer held.
    IndexEntry* takeFirst(std::string_view path);
    // Holds `entry` after every entry already held with its key.
    void add(IndexEntry* entry);

private:
    std::string keyOf(std::string_view path) const;
    bool ignoreCase_;
    // The entries of one key in order; those before `taken` are no longer
    // held. (A deque each would cost a large block per key.)
    struct Held {
        std::vector<IndexEntry*> entries;
        std::size_t taken = 0;
    };
    std::unordered_map<std::string, Held> byName_;
};

// Writes the message entries of `entries` (folder.bag form, in list order)
// as the new `indexPath`, published in one rename so that an interrupt, a
// crash or a full disk leaves the old index or the new one whole. Returns
// 0, or the system's number for the failure (the old index then stays).
int replaceFolderIndex(const std::string& indexPath, LL* entries);

// How a job ends the rewrite of a folder's index: `indexPath` is made
// writable (a refusal is warned about as `chmodWarning`; a missing index is
// no refusal), then replaceFolderIndex publishes `entries` as it. Returns
// replaceFolderIndex's result.
int replaceWritableFolderIndex(const std::string& indexPath, LL* entries, int chmodWarning);

// "CHMOD error" as warning `code` for `path`, when making it writable was
// refused for any reason but its absence.
void warnIfNotWritable(int code, const platform::Error& denied, const char* path);

// True when `path`, lower-cased, names something inside a folder
// directory: only those have an index of their own.
bool insideFolder(const std::string& path);
