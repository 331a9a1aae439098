// The one process-wide record of what this run is to do, and the run
// counters. Filled during start-up (option processing and the
// configuration file), read-only afterwards except where noted.
#pragma once

#include "LL.h"

#include <ctime>

// One /f or /G entry: a directory or display name and whether the folders
// below it are included.
struct FolderSelector {
    char name[256];
    int nested;  // 1: the selection includes the folders below it
};

enum Job { jobArchive = 0, jobRestore = 2, jobReindex = 3, jobSortOnly = 4, jobList = 5 };

struct RunSettings {
    int job = jobArchive;
    bool reindexRequested = false;
    bool listRequested = false;  // /L: the listing job, whatever else asks for a job

    const char* velmorDirName = nullptr;   // client's main directory, ends in a separator
    LL* accountDir = nullptr;              // strings: account directories (*.act)
    LL* accountName = nullptr;             // strings: full or partial account display names
    LL* folderDir = nullptr;               // FolderSelector
    LL* folderName = nullptr;              // FolderSelector
    bool nestedFolders = false;

    const char* fileAge = nullptr;         // digits
    int fileAgeDays = 0;
    const char* dateCutOff = nullptr;      // as given
    bool messageDateCutOff = false;
    const char* timeCutOff = nullptr;      // as given

    LL* beginSubject = nullptr;            // strings
    LL* partialSubject = nullptr;
    LL* fromAddress = nullptr;
    LL* toAddress = nullptr;

    const char* archiveFile = nullptr;
    bool deleteArchived = false;           // the `delete` keyword and /N
    int verbose = 0;                       // 0, or 1 to 4
    bool queryMode = false;
    const char* configFile = nullptr;
    const char* sort = nullptr;            // address book sort field; "" for /i without value
    const char* archiveDay = nullptr;
    int archiveDayIndex = 0;               // 0 = Sunday
    int fileSize = 0;                      // kilobytes, 0 = no criterion
    bool quiet = false;                    // /q
    bool zipNoisy = false;                 // zip and unzip show their own lines (see main)
    bool originalLocation = false;
    bool allRequired = false;
    const char* outputFileName = nullptr;  // report file

    const char* startDir = nullptr;        // current directory at start, no trailing separator
    int startDrive = 0;
    std::time_t now = 0;
    std::tm nowLocal{};
    std::tm cutOffFields{};                // dateCutOffTime is made from these
    std::tm ageFields{};                   // ageCutOffTime is made from these
    std::time_t dateCutOffTime = 0;
    std::time_t ageCutOffTime = 0;

    // The command line wins over the configuration file: these record
    // where a value came from.
    bool fileAgeFromCmdline = false;
    bool dateCutOffFromCmdline = false;
    bool timeCutOffFromCmdline = false;
    bool verboseFromCmdline = false;
    bool sortFromCmdline = false;
    struct {
        int accountDir = 0, accountName = 0, folderDir = 0, folderName = 0;
        int beginSubject = 0, partialSubject = 0, fromAddress = 0, toAddress = 0;
    } cmdlineListCount;

    // The scan tree's two top-level lists (IndexEntry records), shared by
    // the archive, restore and reindex jobs.
    LL* topSelected = nullptr;
    LL* topIndexed = nullptr;
};

extern RunSettings settings;

// Run counters: they only grow.
extern int filesRead;
extern int linesRead;
extern int archiveFileCount;
extern long long archiveBytes;
extern int messageDots;
extern int indexDots;
// Messages that a delete run kept because it could not prove that the
// archive holds their bytes; the run then ends with status 1.
extern int messagesKept;

// The product lines of the start banner.
extern const char* const productLine;
extern const char* const versionLine;
