// Start-up: from the program's arguments to complete, checked settings.
#include "options.h"

#include "LL.h"
#include "cut_off.h"
#include "diagnostics.h"
#include "option_scanner.h"
#include "platform.h"
#include "settings.h"
#include "util.h"

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// The main directory as last entered: the name it was entered by and where
// that led.
std::string enteredClientName;
std::string enteredClientDirectory;

bool endsInSeparator(const std::string& text) {
    return !text.empty() && (text.back() == '/' || text.back() == '\\');
}

void createLists() {
    settings.accountDir = CreatLL();
    settings.accountName = CreatLL();
    settings.folderDir = CreatLL();
    settings.folderName = CreatLL();
    settings.beginSubject = CreatLL();
    settings.partialSubject = CreatLL();
    settings.fromAddress = CreatLL();
    settings.toAddress = CreatLL();
    settings.topSelected = CreatLL();
    settings.topIndexed = CreatLL();
}

void recordStart() {
    settings.now = std::time(nullptr);
    if (!platform::localTime(settings.now, settings.nowLocal)) fatalError(2377, "Error getting localtime!");
    settings.ageFields = settings.nowLocal;
    settings.cutOffFields = settings.nowLocal;
    settings.cutOffFields.tm_hour = 23;
    settings.cutOffFields.tm_min = 59;

    settings.startDrive = platform::currentDrive();
    std::string dir = platform::currentDirectory();
    if (endsInSeparator(dir)) dir.pop_back();
    settings.startDir = keepString(dir);
}

void checkAccountDirectories() {
    // Once /p or a velmorDirName statement has entered the main directory, a
    // relative name would be looked for below it a second time.
    const std::string base = enteredClientDirectory.empty() ? std::string(settings.velmorDirName) : std::string("./");
    for (void* e = FirstLL(settings.accountDir); SizeLL(e) != 0; e = NextLL(e)) {
        std::string path = base + static_cast<const char*>(e);
        while (endsInSeparator(path)) path.pop_back();
        if (!platform::fileExists(path)) fatalError(2449, "Specified account %s not found.", path.c_str());
    }
}

// A listing reads and never writes: what the configuration file asks of
// the other jobs (a sort, a deletion, another job in an option line) does
// not turn it into a run that writes.
void keepListingAlone() {
    if (!settings.listRequested) return;
    settings.job = jobList;
    settings.sort = nullptr;
    settings.deleteArchived = false;
    settings.reindexRequested = false;
}

bool runsArchiveJob() { return settings.job == jobArchive; }

// The reindex and the address book sort select no messages.
bool selectsByDate() { return settings.job != jobReindex && settings.job != jobSortOnly; }

}  // namespace

void prepareSettings(int argc, char** argv) {
    createLists();
    recordStart();

    parseOptions(argc, argv, false);
    const char* commandLineArchive = nullptr;
    if (optionIndex < argc && argv[optionIndex]) commandLineArchive = keepString(argv[optionIndex]);

    readConfigFile();
    keepListingAlone();

    if (!settings.velmorDirName) settings.velmorDirName = "./";
    if (!endsInSeparator(settings.velmorDirName))
        settings.velmorDirName = keepString(std::string(settings.velmorDirName) + "/");

    if (settings.timeCutOff && !settings.dateCutOff)
        fatalError(2416, "A date must be specified when a time is specified.");
    if (settings.queryMode && settings.job != jobRestore)
        fatalError(2420, "Query mode is only valid when restoring files.");

    if (runsArchiveJob() && settings.verbose != 4 && settings.archiveDay &&
        settings.nowLocal.tm_wday != settings.archiveDayIndex) {
        consoleLinef("%s", "Today is not the specified archive day, exiting");
        endProcess(0);
    }

    if (selectsByDate()) checkDateCutOff(runsArchiveJob() && settings.deleteArchived && settings.verbose < 2);

    checkAccountDirectories();

    if (commandLineArchive) settings.archiveFile = commandLineArchive;
    if (!settings.archiveFile && runsArchiveJob()) settings.archiveFile = "ARCHIV??.zip";
    if (runsArchiveJob()) numberFileName(NumberedName::archiveFile);
    // The listing's name is a pattern: never numbered, never given ".zip".
    if (!settings.archiveFile && settings.job == jobList) settings.archiveFile = "ARCHIV??.zip";
}

bool enterClientDirectory(const char* directory) {
    std::string dir = directory ? directory : "./";
    if (!endsInSeparator(dir)) dir += "/";
    // main enters the directory that /p entered already; a relative name
    // must not be taken a second time from inside it.
    if (!enteredClientDirectory.empty() && dir == enteredClientName &&
        platform::currentDirectory() == enteredClientDirectory)
        return true;

    std::string client = dir + "velmor.exe";
    std::string windowed = dir + "velmorw.exe";
    normalizeSeparators(client.data());
    normalizeSeparators(windowed.data());
    client.resize(std::char_traits<char>::length(client.c_str()));
    windowed.resize(std::char_traits<char>::length(windowed.c_str()));
    if (!platform::fileExists(client) && !platform::fileExists(windowed))
        fatalError(1943, "You are not in the Velmor directory, or have not specified the Velmor directory properly!");

    std::string drive;
    std::string rest = client;
    if (rest.size() >= 2 && rest[1] == ':') {
        drive = rest.substr(0, 2);
        rest = rest.substr(2);
    }
    const std::size_t lastSeparator = rest.find_last_of("/\\");
    std::string path = lastSeparator == std::string::npos ? std::string() : rest.substr(0, lastSeparator + 1);

    if (!drive.empty()) {
        char letter = drive[0];
        if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
        if (!platform::changeDrive(letter - 'a' + 1)) fatalError(1927, "Error changing default drive");
    }
    // The root keeps its separator: without it there is nothing to enter.
    if (path.size() > 1 && path.back() == '\\') path.pop_back();
    if (!platform::changeDirectory(path)) fatalError(1938, "Error changing directories");
    enteredClientName = dir;
    enteredClientDirectory = platform::currentDirectory();
    return true;
}
