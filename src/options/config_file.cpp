// archive.cfg: keyword statements and option lines, applied in file order
// after the command line, which keeps precedence (see each statement).
#include "options.h"

#include "LL.h"
#include "config_line.h"
#include "cut_off.h"
#include "diagnostics.h"
#include "list_entries.h"
#include "platform.h"
#include "settings.h"
#include "util.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Parameters of a statement: words 2 onwards.
struct Statement {
    const char* keyword;  // as the keyword table spells it
    int wordCount;
    char** words;
    int count() const { return wordCount - 2; }
    const char* operator[](int i) const { return words[i + 2]; }
};

bool verboseMessages() { return settings.verbose >= 1 && settings.verbose <= 3; }

void velmorDirStatement(const Statement& s) {
    if (settings.velmorDirName) return;
    settings.velmorDirName = keepString(s[0]);
    enterClientDirectory(settings.velmorDirName);
    if (verboseMessages()) consoleLinef("velmorDirName set in config file: %s", s[0]);
}

// The list statements differ only in their list; each entry is reported
// as "<keyword> set in config file: <entry>".
void reportListEntry(const Statement& s, int i) {
    if (verboseMessages()) consoleLinef("%s set in config file: %s", s.keyword, s[i]);
}

void appendEntries(const Statement& s, LL* list, ListEntry kind, int commandLineCount) {
    for (int i = 0; i < s.count(); ++i)
        if (appendListEntry(list, kind, commandLineCount, true, s[i])) reportListEntry(s, i);
}
// The statement of one list option: its list and its count of entries
// given on the command line.
using CommandLineCounts = decltype(RunSettings::cmdlineListCount);
template <LL* RunSettings::*list, int CommandLineCounts::*commandLineCount, ListEntry kind>
void listStatement(const Statement& s) {
    appendEntries(s, settings.*list, kind, settings.cmdlineListCount.*commandLineCount);
}

void nestedFoldersStatement(const Statement& s) {
    if (equalNoCase(s[0], "yes")) {
        settings.nestedFolders = true;
    } else if (equalNoCase(s[0], "no")) {
        settings.nestedFolders = false;
    } else {
        fatalError(1425, "Invalid parameter specified for NestedFolders");
    }
}

void fileAgeStatement(const Statement& s) {
    if (!allDigits(s[0])) fatalError(656, "Invalid number for fileAge in config file");
    if (settings.fileAge) {
        if (settings.fileAgeFromCmdline) return;
        fatalError(672, "FileAge specified multiple times in config file");
    }
    setFileAge(s[0]);
    settings.fileAgeFromCmdline = false;
    if (verboseMessages()) consoleLinef("fileAge set in config file: %s", s[0]);
}

void dateStatement(const Statement& s, bool messageDate) {
    if (settings.dateCutOff && !settings.dateCutOffFromCmdline)
        fatalError(703, "Multiple entries for dateCutOff found in config file");
    // Checked also when the command line's date will be kept.
    int year = 0, month = 0, day = 0;
    if (!parseUserDate(s[0], year, month, day)) fatalError(707, "Invalid dateCutOff in config file!");
    if (!settings.dateCutOff) {
        settings.dateCutOff = keepString(s[0]);
        settings.dateCutOffFromCmdline = false;
        setCutOffDate(year, month, day);
        if (verboseMessages()) consoleLinef("dateCutOff set in config file: %d/%d/%d", year, month, day);
    }
    if (messageDate) settings.messageDateCutOff = true;
}
void dateCutOffStatement(const Statement& s) { dateStatement(s, false); }
void messageDateCutOffStatement(const Statement& s) { dateStatement(s, true); }

void timeCutOffStatement(const Statement& s) {
    int seconds = 0;
    if (!parseUserTime(s[0], seconds)) fatalError(761, "Invalid timeCutOff in config file");
    if (settings.timeCutOff) {
        if (settings.timeCutOffFromCmdline) return;
        fatalError(783, "Time cut off specified multiple times in config file");
    }
    settings.timeCutOff = keepString(s[0]);
    settings.timeCutOffFromCmdline = false;
    setCutOffTime(seconds);
    if (verboseMessages())
        consoleLinef("timeCutOff set in config file: %d:%d", seconds / 3600, (seconds % 3600) / 60);
}

void archiveFileStatement(const Statement& s) {
    if (settings.archiveFile) fatalError(969, "Archive file name specified multiple times in config file");
    settings.archiveFile = keepString(s[0]);
}

void deleteStatement(const Statement&) {
    settings.deleteArchived = true;
    if (verboseMessages()) consoleLinef("%s", "delete set in config file");
}

void verboseStatement(const Statement& s) {
    if (!allDigits(s[0])) fatalError(1022, "Invalid argument for Verbose in config file");
    if (settings.verbose != 0) {
        if (settings.verboseFromCmdline) return;
        fatalError(1043, "Verbose option specified multiple times in the configuration file");
    }
    const int level = leadingNumber(s[0]);
    if (level < 1 || level > 3) fatalError(1030, "Invalid argument for Verbose in config file");
    settings.verbose = level;
    settings.verboseFromCmdline = false;
    if (verboseMessages()) consoleLinef("verbose set in config file: %d", level);
}

void sortStatement(const Statement& s) {
    if (settings.sort) {
        if (!settings.sortFromCmdline) fatalError(1192, "Sort parameter specified multiple times in configuration file");
    } else {
        settings.sort = keepString(s.count() > 0 ? s[0] : "");
        settings.sortFromCmdline = false;
    }
    settings.job = jobSortOnly;
}

void archiveDayStatement(const Statement& s) {
    static const char* const weekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};
    if (settings.archiveDay) fatalError(1130, "ArchiveDay specified multiple times in the configuration file");
    const std::string value = s[0];
    if (value.size() < 2) fatalError(1134, "The day must be at least two characters long");
    settings.archiveDay = keepString(value);
    // Any common beginning names the day: "mo" and "MONDAYS" are Monday.
    for (int index = 0; index < 7; ++index) {
        const std::string name = weekdays[index];
        const std::size_t k = std::min(name.size(), value.size());
        if (equalNoCase(std::string_view(name).substr(0, k), std::string_view(value).substr(0, k))) {
            settings.archiveDayIndex = index;
            if (settings.verbose != 0) consoleLinef("Archive day %s specified in config file\n", weekdays[index]);
            return;
        }
    }
    fatalError(1156, "Invalid day specified for archiveDay");
}

void allRequiredStatement(const Statement&) {
    if (settings.allRequired) fatalError(1219, "AllRequired specified multiple times in config file");
    settings.allRequired = true;
}

void fileSizeStatement(const Statement& s) {
    if (!allDigits(s[0])) fatalError(1248, "Invalid argument for fileSize in config file");
    if (settings.fileSize != 0) fatalError(1262, "File Size specified multiple times");
    settings.fileSize = leadingNumber(s[0]);
    if (verboseMessages()) consoleLinef("fileSize set in config file: %d", settings.fileSize);
}

void originalLocationStatement(const Statement&) {
    if (settings.originalLocation)
        fatalError(1284, "OriginalLocation specified multiple times in configuration file");
    settings.originalLocation = true;
    if (verboseMessages()) consoleLinef("%s", "Original location specified in the config file.\n");
}

void outputFileNameStatement(const Statement& s) {
    if (settings.outputFileName) return;
    if (settings.verbose != 0) consoleLinef("Output file name  %s   specified in config file", s[0]);
    settings.outputFileName = keepString(s[0]);
    numberFileName(NumberedName::outputFileName);
}

struct ConfigKeyword {
    const char* keyword;
    const char* name;  // in the parameter count errors
    int minimum;
    int maximum;  // -1: any number
    bool skippedWhenReindexing;
    void (*handler)(const Statement&);
};

const int any = -1;

// Searched in this order; the first keyword equal to the word wins.
const ConfigKeyword keywords[] = {
    {"velmorDirName", "Velmor directory name", 1, 1, false, velmorDirStatement},
    {"accountDir", "Account directory name", 1, any, false,
     listStatement<&RunSettings::accountDir, &CommandLineCounts::accountDir, ListEntry::text>},
    {"accountName", "Account name", 1, any, false,
     listStatement<&RunSettings::accountName, &CommandLineCounts::accountName, ListEntry::text>},
    {"folderDir", "Folder directory(s)", 1, any, true,
     listStatement<&RunSettings::folderDir, &CommandLineCounts::folderDir, ListEntry::folder>},
    {"folderName", "Folder name(s)", 1, any, true,
     listStatement<&RunSettings::folderName, &CommandLineCounts::folderName, ListEntry::folder>},
    {"nestedFolders", "NestedFolders", 1, 1, true, nestedFoldersStatement},
    {"fileAge", "FileAge", 1, 1, true, fileAgeStatement},
    {"dateCutOff", "DateCutOff", 1, 1, true, dateCutOffStatement},
    {"messageDateCutOff", "DateCutOff", 1, 1, true, messageDateCutOffStatement},
    {"timeCutOff", "TimeCutOff", 1, 1, true, timeCutOffStatement},
    {"beginSubject", "BeginSubject", 1, any, true,
     listStatement<&RunSettings::beginSubject, &CommandLineCounts::beginSubject, ListEntry::text>},
    {"partialSubject", "PartialSubject", 1, any, true,
     listStatement<&RunSettings::partialSubject, &CommandLineCounts::partialSubject, ListEntry::text>},
    {"fromAddress", "FromAddress", 1, any, true,
     listStatement<&RunSettings::fromAddress, &CommandLineCounts::fromAddress, ListEntry::text>},
    {"toAddress", "ToAddress", 1, any, true,
     listStatement<&RunSettings::toAddress, &CommandLineCounts::toAddress, ListEntry::text>},
    {"archiveFile", "ArchiveFileName", 1, 1, true, archiveFileStatement},
    {"delete", "Delete", 0, 0, true, deleteStatement},
    {"verbose", "Verbose", 1, 1, true, verboseStatement},
    {"sort", "Sort", 0, 1, false, sortStatement},
    {"archiveDay", "ArchiveDay", 1, 1, true, archiveDayStatement},
    {"allRequired", "AllRequired", 0, 0, true, allRequiredStatement},
    {"fileSize", "Filesize", 1, 1, true, fileSizeStatement},
    {"originalLocation", "OriginalLocation", 0, 0, false, originalLocationStatement},
    {"outputFileName", "OutputFileName", 1, 1, false, outputFileNameStatement},
};

void recordCommandLineCounts() {
    auto& c = settings.cmdlineListCount;
    c.accountDir = CountLL(settings.accountDir);
    c.accountName = CountLL(settings.accountName);
    c.folderDir = CountLL(settings.folderDir);
    c.folderName = CountLL(settings.folderName);
    c.beginSubject = CountLL(settings.beginSubject);
    c.partialSubject = CountLL(settings.partialSubject);
    c.fromAddress = CountLL(settings.fromAddress);
    c.toAddress = CountLL(settings.toAddress);
}

// Size of the line buffer: a longer line is read, and applied, in pieces
// of one less than this.
const int configLineBuffer = 255;

}  // namespace

void checkParameterCount(int wordCount, const char* name, int minimum, int maximum) {
    const int parameters = wordCount - 2;
    if (parameters < minimum) fatalError(409, "Missing parameter for %s in configuration file.", name);
    if (maximum >= 0 && parameters > maximum)
        fatalError(413, "Too many parameters for %s in configuration file.", name);
}

void dispatchStatement(int wordCount, char** words) {
    if (wordCount < 2 || !words[1]) return;
    const char* first = words[1];
    for (const ConfigKeyword& k : keywords) {
        if (!equalNoCase(first, k.keyword)) continue;
        if (!k.skippedWhenReindexing || !settings.reindexRequested) {
            checkParameterCount(wordCount, k.name, k.minimum, k.maximum);
            k.handler(Statement{k.keyword, wordCount, words});
            return;
        }
        break;
    }
    if (first[0] == '-' || first[0] == '/' || first[0] == '+') {
        parseOptions(wordCount, words, true);
        return;
    }
    if (settings.reindexRequested) return;
    fatalError(1516, "Unknown statement in config file: [%s]", first);
}

void readConfigFile() {
    recordCommandLineCounts();
    if (!settings.configFile) settings.configFile = ".";
    if (equalNoCase(settings.configFile, "none")) return;

    std::string path;
    platform::FileStatus status;
    if (platform::fileStatus(settings.configFile, status)) {
        path = settings.configFile;
        if (!status.isRegular) path += "/archive.cfg";
    } else {
        if (std::string(settings.configFile) != ".")
            fatalError(1585, "Nonexistent configuration file specified: %s", settings.configFile);
        path = "./archive.cfg";
    }

    std::FILE* file = platform::openFile(path, "r");
    if (!file) return;
    // The scanner names the file in its messages about option lines.
    char* fileName = keepString(path);
    char buffer[configLineBuffer];
    while (std::fgets(buffer, sizeof buffer, file)) {
        trimBoth(buffer);
        if (buffer[0] == '\0' || buffer[0] == '#') continue;
        std::vector<std::string> words = splitConfigLine(buffer);
        if (words.empty()) continue;
        std::vector<char*> list;
        list.reserve(words.size() + 2);
        list.push_back(fileName);
        for (std::string& w : words) list.push_back(w.data());
        const int count = static_cast<int>(list.size());
        list.push_back(nullptr);
        dispatchStatement(count, list.data());
    }
    std::fclose(file);
}
