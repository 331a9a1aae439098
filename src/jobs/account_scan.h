// The walk over the store that the archive and reindex jobs begin with.
#pragma once

#include "store.h"

// How a job walks the store and what it keeps of the walk.
struct AccountScan {
    ScanRules rules;
    // The archive tells in verbose mode which accounts it walks.
    bool announce = false;
    // The reindex keeps a node for every named account, even one in which
    // the walk found nothing, so that its (empty) index is told about.
    bool keepEmptyAccounts = false;
};

// Walks every account of the main directory ("./"), or, when accountDir
// names some, each of those, into settings.topSelected and
// settings.topIndexed (created when null); a named account becomes a
// directory node of topSelected.
void scanAccounts(const AccountScan& scan);

// The totals of the walk that both jobs print in verbose mode, each line
// followed by `lineEnd`: "\nFolder scan completed\n", the files and the
// lines read.
void printScanTotals(const char* lineEnd);
