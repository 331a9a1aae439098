#include "account_scan.h"

#include "diagnostics.h"
#include "folder_index.h"
#include "settings.h"

#include <string>

void scanAccounts(const AccountScan& scan) {
    if (!settings.topSelected) settings.topSelected = CreatLL();
    if (!settings.topIndexed) settings.topIndexed = CreatLL();
    if (CountLL(settings.accountDir) == 0) {
        if (scan.announce && settings.verbose) consoleLinef("Scanning all accounts");
        scanDirectory("./", settings.topSelected, settings.topIndexed, true, scan.rules);
        return;
    }
    for (void* e = FirstLL(settings.accountDir); SizeLL(e) != 0; e = NextLL(e)) {
        const char* account = static_cast<const char*>(e);
        std::string path = joinStorePath("./", account);
        if (path.back() != '/' && path.back() != '\\') path += '/';
        if (scan.announce && settings.verbose) consoleLinef("Scanning account directory: %s\n", account);
        // Named as the walk names the directories below it ("name.act/").
        IndexEntry node = directoryNode(path.substr(2));
        scanDirectory(path.c_str(), node.selected, node.indexed, true, scan.rules);
        if (scan.keepEmptyAccounts || CountLL(node.selected) != 0 || CountLL(node.indexed) != 0)
            AppendLL(settings.topSelected, sizeof node, &node);
    }
}

void printScanTotals(const char* lineEnd) {
    consoleLinef("\nFolder scan completed\n");
    consoleLinef("Total of %d files read%s", filesRead, lineEnd);
    consoleLinef("Total of %d lines read%s", linesRead, lineEnd);
}
