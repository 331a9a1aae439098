// The archive job's steps, for the job itself and its tests.
//
// archiveJob (jobs.h) checks zip, resolves account names, scans the store
// into the scan tree while writing the list file, writes backup.bag, runs
// zip, and with delete set (and verbose below 2) takes the archived
// messages out of their folders: first rewriteIndexes, then
// deleteArchived. Only messages that the written archive, tested whole,
// holds with their exact current bytes are taken out (archive_verify.h).
#pragma once

#include "index_entry.h"

#include <string>

// Writes backup.bag in the current directory from the scan tree and puts it
// on the list file. Fatal (4086) when it cannot be written whole: an
// archive without its index could not be restored.
void writeBackupIndex();
// One level of writeBackupIndex: each message entry of `selected` gets the
// client's value1 and value2 from the first line of `indexed` with the same
// base name (letter case ignored), and its line in backup.bag.
void writeBackupEntries(std::FILE* backup, LL* selected, LL* indexed);

// Below `dir`, removes the index line of every proven message of each
// folder and writes the folder's folder.bag anew, in folders that had one.
void rewriteIndexes(const std::string& dir, LL* selected, LL* indexed);
// Deletes the proven message files of the scan tree that are still as they
// were proven; every other selected message stays, with a warning naming
// it, in the tree's order.
void deleteArchived(LL* selected);

// The path handed to zip: archiveFile as it stands when absolute, else
// joined to startDir, in backslash form.
std::string archivePath();
