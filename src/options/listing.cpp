// The settings listing of /V 4: every setting in effect, then the end.
#include "options.h"

#include "LL.h"
#include "diagnostics.h"
#include "platform.h"
#include "settings.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

const char* jobText() {
    switch (settings.job) {
        case jobRestore: return "Restore requested";
        case jobReindex: return "Reindex requested";
        case jobSortOnly: return "Address Book sort requested";
        case jobList: return "Archive listing requested";
        default: return "Archive requested";
    }
}

template <class F>
void forEachText(LL* list, F f) {
    for (void* e = FirstLL(list); SizeLL(e) != 0; e = NextLL(e)) f(static_cast<const char*>(e));
}

template <class F>
void forEachFolder(LL* list, F f) {
    for (void* e = FirstLL(list); SizeLL(e) != 0; e = NextLL(e)) f(*static_cast<const FolderSelector*>(e));
}

const char* yesNo(int flag) { return flag ? "Yes" : "No"; }

}  // namespace

void listSettings() {
    consoleLinef("%s", jobText());
    consoleLinef("Archive file name: %s\n", settings.archiveFile ? settings.archiveFile : "(null)");
    if (settings.velmorDirName) consoleLinef("Specified Velmor directory: %s\n", settings.velmorDirName);
    forEachText(settings.accountDir, [](const char* t) { consoleLinef("   Account directory: %s\n", t); });
    forEachText(settings.accountName, [](const char* t) { consoleLinef("   Account name: %s\n", t); });
    forEachFolder(settings.folderDir, [](const FolderSelector& f) {
        consoleLinef("   Folder directory: %s,   Nesting: %s\n", f.name, yesNo(f.nested));
    });
    forEachFolder(settings.folderName, [](const FolderSelector& f) {
        consoleLinef("   Folder name: %s,   Nesting: %s\n", f.name, yesNo(f.nested));
    });
    if (settings.fileAge) consoleLinef("File age: %s\n", settings.fileAge);
    if (settings.messageDateCutOff) consoleLinef("%s", "Use message date for date cutoff.\n");
    if (settings.dateCutOff) consoleLinef("Date cut off: %s\n", settings.dateCutOff);
    if (settings.timeCutOff) consoleLinef("Time cut off: %s\n", settings.timeCutOff);
    if (settings.dateCutOff || settings.timeCutOff) {
        std::tm t{};
        platform::localTime(settings.dateCutOffTime, t);
        consoleLinef("Date/Time cut off: %d/%d/%d   %d:%d\n", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                     t.tm_min);
    }
    forEachText(settings.beginSubject, [](const char* t) { consoleLinef("Begin subject: %s\n", t); });
    forEachText(settings.partialSubject, [](const char* t) { consoleLinef("Partial subject: %s\n", t); });
    forEachText(settings.fromAddress, [](const char* t) { consoleLinef("From address: %s\n", t); });
    forEachText(settings.toAddress, [](const char* t) { consoleLinef("To address: %s\n", t); });
    if (settings.deleteArchived) consoleLinef("%s", "Files will be deleted\n");
    if (settings.queryMode) consoleLinef("%s", "Query mode on restore\n");
    if (settings.configFile) consoleLinef("Config file name: %s\n", settings.configFile);
    if (settings.sort) consoleLinef("Sort parm: %s\n", settings.sort);
    if (settings.archiveDay) consoleLinef("Archives to be performed on %s only\n", settings.archiveDay);
    if (settings.fileSize != 0) consoleLinef("Files at least as big as %d K will be archived\n", settings.fileSize);
    if (settings.quiet) consoleLinef("%s", "Zip verbose mode is specified.\n");
    std::fflush(stdout);
    endProcess(0);
}
