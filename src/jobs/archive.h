// The archive job's steps, for the job itself and its tests.
//
// archiveJob (jobs.h) checks zip, resolves account names, scans the store
// into the scan tree while writing the list file, writes backup.bag, runs
// zip, and with delete set (and verbose below 2) takes the archived
// messages out of their folders: first rewriteIndexes, then
// deleteArchived. Only messages that the written archive really holds are
// taken out (see archivedMembersRead).
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

// Reads the member names of the written archive. False (after a warning)
// when they cannot be listed: then nothing may be deleted.
bool archivedMembersRead(const std::string& archivePath);
// True when the message at store path `path` is a member of the archive
// read by archivedMembersRead (letter case ignored, no leading "./").
bool isArchived(const char* path);

// Below `dir`, removes the index line of every archived message of each
// folder and writes the folder's folder.bag anew, in folders that had one.
void rewriteIndexes(const std::string& dir, LL* selected, LL* indexed);
// Deletes the archived message files below `dir`; a selected message that
// the archive does not hold stays, with a warning naming it.
void deleteArchived(const std::string& dir, LL* selected);

// The path handed to zip: archiveFile as it stands when absolute, else
// joined to startDir, in backslash form.
std::string archivePath();
