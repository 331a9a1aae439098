// The listing job's steps, apart from runListing (jobs.h), for the tests.
//
// runListing finds the archives that the archive file name (a DOS pattern
// in its last part, "ARCHIV??.zip" by default) names, takes backup.bag out
// of each one into a private temporary file, lets selectForRestore narrow
// its entries down exactly as a restore of that archive would, and prints
// one line per message that is left. It writes nothing but standard
// output, standard error and the report file.
#pragma once

#include "index_entry.h"

#include <string>
#include <vector>

// One archive the listing reads.
struct ListedArchive {
    std::string shown;         // as the user named it: the directory part given, the name on disk
    std::string path;          // where it is opened: relative names below the start directory
    bool isDirectory = false;  // named like an archive, but a directory
};

// The entries that the last part of `name` matches (DOS wildcards, letter
// case ignored) in the directory its other parts name, in name order; "."
// and ".." never. A relative name is taken below the start directory, as
// the archive job writes it. A name without wildcards that matches
// nothing is tried once more with ".zip" appended, as a restore does.
std::vector<ListedArchive> archivesToList(const std::string& name);

// The listed line of one message (without its line end): the archive as
// shown, the date, the time, the sender, the subject and the path as the
// index holds it (`storedPath`), separated by tabs. The sender is
// "Name <address>", or the address alone when the index gives no other
// name. Tabs and line ends inside a field become blanks, so that every
// line has its six fields.
std::string listedLine(const std::string& archive, const IndexEntry& entry, const char* storedPath);
