// The store's small file formats: index lines (folder.bag, backup.bag),
// the display name in folder.ini and the account name in acct.ini.
#pragma once

#include "index_entry.h"
#include "work_files.h"

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Which index of a directory is read: the folder's own folder.bag, or the
// backup.bag that an archive carries (as the restore job finds it).
enum class IndexKind { folder, backup };

// A folder's own index, in every folder directory.
inline constexpr char folderIndexName[] = "folder.bag";

// Reads the index of directory `dir` (a path ending in "/", such as
// "./name.act/inbox.fld/") and appends one IndexEntry per accepted line to
// `list`, in file order. For IndexKind::backup the file is dir +
// "backup.bag" and every well-formed line is kept as it stands (changeTime
// 0); for IndexKind::folder it is dir + "folder.bag", and a line whose
// message file is not in `dir` is dropped ("File not found: %s" in verbose
// mode), the others get the file's change time.
//
// A line is accepted when it holds two decimal ints and nine texts, each
// followed by the separator; what follows the eleventh separator is
// ignored. A text may be empty, and a line may be of any length. Garbage
// lines are skipped without a message. A missing or unreadable index gives
// no entries and no error. Returns 0 in every case; heap exhaustion is
// fatal (3465).
int readIndexFile(const char* dir, LL* list, IndexKind kind);

// Reads an archive's index as it arrives, block by block (from unzip, for
// example), accepting and skipping lines exactly as readIndexFile does
// with backup.bag (IndexKind::backup): one IndexEntry per accepted line,
// appended to `list` in order, nothing checked against the store,
// malformed lines skipped without a message; in verbose mode a dot per 50
// lines read, and a line end at the finish.
//
// Unlike readIndexFile's, these entries' texts live in the reader, and
// only until the next call of add or finish: the caller takes what it
// needs from the entries of one block and clears `list` before it hands
// over the next. So a listing of many archives holds one block of texts at
// a time, not every text it has read.
class ArchiveIndexReader {
public:
    explicit ArchiveIndexReader(LL* list) : list_(list) {}
    void add(const char* bytes, std::size_t size);
    // Takes a last line that has no line feed. Called once, after the last add.
    void finish();

private:
    void takeLine(std::string_view line);
    // A copy of `line` whose texts, once parsed, are made into C strings.
    char* keptLine(std::string_view line);

    LL* list_;
    std::string partial_;  // the start of a line whose line feed has not come yet
    // The lines of the current block: chunks kept from block to block.
    std::vector<std::unique_ptr<char[]>> chunks_;
    std::size_t chunk_ = 0;      // the chunk being filled
    std::size_t chunkUsed_ = 0;  // its bytes taken
    std::vector<std::unique_ptr<char[]>> longLines_;  // lines longer than a chunk, for one block
};

// True when readIndexFile found and opened an index file for `list` (the
// `indexed` list of a directory node, or a top-level list). Lets a job
// tell a folder with an empty index from one that has none.
bool indexFileFound(const LL* list);

// Writes one index line for `entry` to `file` (opened in binary mode): the
// two ints, the eight texts date .. sizeText trimmed of leading and
// trailing white space in place, and fileName, each followed by the
// separator, then a line feed. keepPath true writes fileName whole (for
// backup.bag); false writes only what follows its last "/" (for
// folder.bag). A separator byte inside a text is written as 0xFE, the same
// letter in lower case, so that the line keeps its eleven fields. A null
// text is written as the empty text. Returns 0, or -1 when the stream
// reports a write error.
int writeIndexLine(std::FILE* file, IndexEntry& entry, bool keepPath);

// Makes sure dir + "folder.ini" exists; when it does not, writes the
// default one-line file with `displayName` as the folder's name. Returns 1
// when the file exists or was written, 0 when it could not be written (no
// half-written file is left behind). An existing file is never touched.
int createFolderIni(const char* dir, const char* displayName);

// The display name in dir + "folder.ini": its first line up to the first
// separator, trimmed; "" when the file cannot be opened. The result lives
// in a static buffer that the next call overwrites.
const char* readFolderName(const char* dir);

// The display name of account directory `entryName` as the directory walk
// returns it ("name.act/"), read from the 255 bytes at offset 512 of its
// acct.ini and trimmed ("" when the file is shorter). Null when the name
// holds neither ".act" nor ".ACT". A missing acct.ini is fatal (3640). The
// result lives in a static buffer that the next call overwrites.
const char* readAccountName(const char* entryName);

// For the scan: readIndexFile that checks the message files against a
// listing of `dir` made once, instead of asking for each file's status
// (null: ask for each). A backup index checks nothing, so ignores it.
class DirectoryListing;
int readIndexFile(const char* dir, LL* list, IndexKind kind, const DirectoryListing* listing);
