// The list options (/a /b /f /G /s /S /F /T, on the command line, in an
// option line of archive.cfg, or as its list statements) add their entries
// by one rule.
#pragma once

#include "LL.h"

// Texts (accounts, subjects, addresses) or FolderSelector records (/f, /G).
enum class ListEntry { text, folder };

// Appends `entry` to `list` unless it comes from the configuration file
// (`fromConfig`) while the command line gave this list entries of its own
// (`commandLineCount`): the command line keeps precedence. A folder
// selector takes the nesting (nestedFolders) in force when it is added,
// its name cut to fit. True when the entry was added.
bool appendListEntry(LL* list, ListEntry kind, int commandLineCount, bool fromConfig, const char* entry);
