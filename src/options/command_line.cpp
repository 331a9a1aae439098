// The option letters, for the command line and for option lines of
// archive.cfg alike. The two differ only in their repeat rules: on the
// command line a repeated option is a usage error, while a configuration
// line leaves in force what the command line set.
#include "options.h"

#include "LL.h"
#include "cut_off.h"
#include "diagnostics.h"
#include "list_entries.h"
#include "option_scanner.h"
#include "settings.h"
#include "util.h"

#include <cstdio>

namespace {

const char* const optionString = "?rRNnIqQoLp:a:b:f:G:A:d:D:t:s:S:F:T:V:Z:c:i%:O%";

// The listing only reads: another job, or a deletion, given with it on
// the command line is refused rather than one of them silently dropped.
[[noreturn]] void refuseWithListing(char other) {
    std::printf("option L cannot be combined with option %c\n", other);
    showUsage(0);
}

char jobLetter(int job) {
    switch (job) {
        case jobRestore: return 'r';
        case jobReindex: return 'I';
        default: return 'i';
    }
}

void appendText(LL* list, int commandLineCount, bool fromConfig, const char* text) {
    appendListEntry(list, ListEntry::text, commandLineCount, fromConfig, text);
}

void appendFolder(LL* list, int commandLineCount, bool fromConfig, const char* name) {
    appendListEntry(list, ListEntry::folder, commandLineCount, fromConfig, name);
}

void dateOption(char letter, const char* argument, bool fromConfig) {
    if (settings.dateCutOff) {
        if (fromConfig) return;
        showUsage('d');
    }
    settings.dateCutOffFromCmdline = !fromConfig;
    settings.dateCutOff = keepString(argument);
    int year = 0, month = 0, day = 0;
    if (!parseUserDate(argument, year, month, day)) fatalError(2247, "Invalid date!");
    setCutOffDate(year, month, day);
    if (letter == 'D') settings.messageDateCutOff = true;
}

void timeOption(const char* argument, bool fromConfig) {
    if (settings.timeCutOff) {
        if (fromConfig) return;
        showUsage('t');
    }
    settings.timeCutOffFromCmdline = !fromConfig;
    settings.timeCutOff = keepString(argument);
    int seconds = 0;
    if (!parseUserTime(argument, seconds)) {
        consoleLinef("%s", "Invalid time specified for timeCutOff option");
        showUsage(0);
    }
    setCutOffTime(seconds);
}

void verboseOption(const char* argument, bool fromConfig) {
    if (!allDigits(argument)) showUsage('V');
    if (settings.verbose != 0) {
        if (fromConfig) return;
        showUsage('V');
    }
    settings.verboseFromCmdline = !fromConfig;
    const int level = leadingNumber(argument);
    if (level < 1 || level > 4) showUsage('V');
    settings.verbose = level;
}

void applyOption(int letter, const char* argument, bool fromConfig) {
    const bool commandLine = !fromConfig;
    auto& counts = settings.cmdlineListCount;
    switch (letter) {
        case 'r':
            if (commandLine && settings.listRequested) refuseWithListing('r');
            if (commandLine && settings.job != jobArchive) showUsage('r');
            settings.job = jobRestore;
            break;
        case 'R':
            if (settings.allRequired) showUsage('R');
            settings.allRequired = true;
            break;
        case 'N':
            if (commandLine && settings.listRequested) refuseWithListing('N');
            if (commandLine && settings.deleteArchived) showUsage('N');
            settings.deleteArchived = true;
            break;
        case 'n':
            settings.nestedFolders = !settings.nestedFolders;
            break;
        case 'I':
            if (commandLine) {
                if (settings.listRequested) refuseWithListing('I');
                if (settings.reindexRequested) showUsage('I');
                if (settings.job != jobArchive) showUsage(0);
            }
            settings.job = jobReindex;
            settings.reindexRequested = true;
            break;
        case 'q':
            if (settings.quiet) showUsage('q');
            settings.quiet = true;
            break;
        case 'Q':
            if (commandLine && settings.queryMode) showUsage('Q');
            settings.queryMode = true;
            break;
        case 'o':
            if (settings.originalLocation) showUsage('o');
            settings.originalLocation = true;
            break;
        case 'L':
            if (commandLine) {
                if (settings.listRequested) showUsage('L');
                if (settings.job != jobArchive) refuseWithListing(jobLetter(settings.job));
                if (settings.deleteArchived) refuseWithListing('N');
            }
            settings.job = jobList;
            settings.listRequested = true;
            break;
        case 'p':
            if (commandLine && settings.velmorDirName) showUsage('p');
            settings.velmorDirName = keepString(argument);
            enterClientDirectory(settings.velmorDirName);
            break;
        case 'a': appendText(settings.accountDir, counts.accountDir, fromConfig, argument); break;
        case 'b': appendText(settings.accountName, counts.accountName, fromConfig, argument); break;
        case 'f': appendFolder(settings.folderDir, counts.folderDir, fromConfig, argument); break;
        case 'G': appendFolder(settings.folderName, counts.folderName, fromConfig, argument); break;
        case 's': appendText(settings.beginSubject, counts.beginSubject, fromConfig, argument); break;
        case 'S': appendText(settings.partialSubject, counts.partialSubject, fromConfig, argument); break;
        case 'F': appendText(settings.fromAddress, counts.fromAddress, fromConfig, argument); break;
        case 'T': appendText(settings.toAddress, counts.toAddress, fromConfig, argument); break;
        case 'A':
            if (settings.fileAge || (commandLine && !allDigits(argument))) showUsage('A');
            setFileAge(argument);
            settings.fileAgeFromCmdline = commandLine;
            break;
        case 'd':
        case 'D':
            dateOption(static_cast<char>(letter), argument, fromConfig);
            break;
        case 't':
            timeOption(argument, fromConfig);
            break;
        case 'V':
            verboseOption(argument, fromConfig);
            break;
        case 'c':
            // The configuration reader has named its file before it reads
            // any line, so a /c inside it always comes too late.
            if (fromConfig || settings.configFile) showUsage('c');
            settings.configFile = keepString(argument);
            break;
        case 'i':
            if (commandLine && settings.listRequested) refuseWithListing('i');
            if (settings.sort) {
                if (fromConfig) return;
                showUsage('i');
            }
            settings.sort = keepString(argument ? argument : "");
            settings.job = jobSortOnly;
            settings.sortFromCmdline = commandLine;
            break;
        case 'O':
            if (settings.outputFileName) showUsage('O');
            settings.outputFileName = keepString(argument ? argument : "archiv??.rpt");
            numberFileName(NumberedName::outputFileName);
            break;
        default:  // '?', 'Z', and anything the scanner rejected
            showUsage(0);
    }
}

}  // namespace

void parseOptions(int wordCount, char** words, bool fromConfig) {
    optionPrefixes = "-/+";
    optionalArgumentMarker = '%';
    startOptionScan();
    for (;;) {
        const int letter = nextOption(wordCount, words, optionString);
        if (letter == -1) break;
        applyOption(letter, optionArgument, fromConfig);
    }
}
