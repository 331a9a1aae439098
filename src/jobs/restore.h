// The restore job's steps, apart from runRestore (jobs.h), for the tests.
//
// runRestore takes backup.bag out of the archive, reads it into a list of
// IndexEntry records, lets selectForRestore narrow it down and hands the
// rest to restoreMessages. Both work in the client's main directory (the
// current one) and edit the entries' fileName in place (lower case).
#pragma once

#include "LL.h"
#include "settings.h"
#include "store.h"

#include <cstddef>
#include <string>
#include <vector>

// Drops the entries that the account, folder and message selections of
// the run reject.
void selectForRestore(LL* list);

// Restores every entry of `list`, in order, from settings.archiveFile:
// asks first in query mode, re-creates the account and folder directories
// with their settings files, puts the message into its folder (or the
// "Restored Files" tree of its account) and appends its index line to that
// folder's folder.bag. The archive is listed once; the messages come out
// a batch per folder into a staging folder and are checked against the
// listing before each is moved into place (restore_batch.h). A quit answer
// ends the process with 0, a refused "Proceed" after a message that could
// not be had whole with 1.
void restoreMessages(LL* list);
// The same, with unzip's command lines kept within `commandLineLimit`
// characters (the system's limit in the form above).
void restoreMessages(LL* list, std::size_t commandLineLimit);

// A message path of backup.bag taken apart: the account directory, the
// folder directories below it and the message file name.
struct RestorePath {
    std::string account;
    std::vector<std::string> folders;
    std::string file;
};

// Takes a lower-cased backup.bag path apart. False for a path that could
// lead out of the main directory or does not name a message of an
// account: absolute, with a drive, with a ".." element, without an
// element ending in ".act", or whose last element is not a ".msg" file
// name; also when a directory element ends in ".msg" (message names are
// the only names a restore lets unzip choose, and unzip may make them
// links, so they must never be used as directories).
bool splitRestorePath(const std::string& fileName, RestorePath& path);
