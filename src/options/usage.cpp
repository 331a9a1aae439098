// The usage text, five pages with a key press between them.
#include "options.h"

#include "diagnostics.h"
#include "platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

namespace {

const char* const pagePrompt = "Press space to continue:";
const std::size_t descriptionColumn = 38;  // counted from 1
const std::string continuation(descriptionColumn - 1, ' ');

void lines(std::initializer_list<const char*> texts) {
    for (const char* t : texts) {
        std::fputs(t, stdout);
        std::fputc('\n', stdout);
    }
}

// One option row: four blanks, the option, "Yes" in the Multiple Allowed
// column when it may be repeated, the description from column 38 and its
// further lines below it.
void row(std::size_t yesColumn, const char* option, bool multiple, std::initializer_list<const char*> description) {
    std::string first = std::string("    ") + option;
    if (multiple) {
        first.resize(std::max(first.size() + 1, yesColumn - 1), ' ');
        first += "Yes";
    }
    first.resize(std::max(first.size() + 1, descriptionColumn - 1), ' ');
    bool isFirst = true;
    for (const char* d : description) {
        std::fputs(isFirst ? first.c_str() : continuation.c_str(), stdout);
        std::fputs(d, stdout);
        std::fputc('\n', stdout);
        isFirst = false;
    }
}

const std::size_t locationYes = 27;
const std::size_t filterYes = 28;

void locationRow(const char* option, bool multiple, std::initializer_list<const char*> description) {
    row(locationYes, option, multiple, description);
}
void filterRow(const char* option, bool multiple, std::initializer_list<const char*> description) {
    row(filterYes, option, multiple, description);
}

void pageOne() {
    lines({"",
           "",
           "Usage:   archiver  [parameters] [archive file name]",
           "",
           "The program must either be run from the main Velmor directory, or",
           "the main directory must be specified using the /p parameter",
           "",
           "This program REQUIRES either infozip/infounzip to",
           "be in the path.",
           "",
           "If no archive file is specified then the program will create a file in",
           "the current directory called ARCHIV??.ZIP, where the question marks will",
           "be replaced by a sequential series of numbers.",
           "",
           "A specified archive file name can have question marks embedded, and the",
           "question marks will be replaced as above.",
           "",
           "The archive file is NOT optional when doing a restore",
           "",
           "Command Line Parameters -  either a dash, plus, or forward slash are",
           "acceptable.  The parameters ARE case sensitive",
           ""});
}

void pageTwo() {
    // "Allowed" sits under "Multiple", which the tab puts in column 25.
    lines({"Location parameters\tMultiple    Description",
           "\t\t\tAllowed",
           "-------------------  --------    -----------",
           ""});
    locationRow("/c configFileDirectory", false, {"Specify the directory the", "configuration file (archive.cfg) is in"});
    locationRow("/c configFile", false, {"Specify the complete path of", "the configuration file"});
    locationRow("/c NONE", false, {"Do not use a config", "even if one exists."});
    locationRow("/p velmordirname", false, {"If no accounts specified then will", "perform work on all accounts"});
    locationRow("/a accountdirname", true,
                {"Multiple entries are allowed.  If /p not", "specified then either the complete path",
                 "is required, or the program must be run", "from the Velmor directory (where the ",
                 "accounts are)"});
    locationRow("/b accountName", true, {"Full or partial name of account.  Multiple", "entries are allowed"});
    lines({""});
}

void pageThree() {
    lines({"These parameters are currently inclusive or'd together.  In other words,",
           "if ANY parameter is met then the file will be archived/unarchived.",
           "The parameters can be and'd together (all required) by using the",
           "/R command line option or the allRequired option in the configuration file.",
           "",
           "Archive parameters     Multiple  Description",
           "Unarchiving parameters Allowed",
           "---------------------- --------  -----------",
           ""});
    filterRow("/f folderdirname", true, {"Multiple entries are allowed."});
    filterRow("/G foldername", true, {"Multiple entries are allowed."});
    filterRow("/A age in days", false, {"Anything older than this gets archived."});
    filterRow("/d datecutoff", false,
              {"Specifies the message date at which to", "start archiving message.  Format must be", "[yy]yy/mm/dd."});
    filterRow("/D messageDateCutoff", false,
              {"Same as /d except that it uses", "the message date instead of the saved date."});
    filterRow("/t timecutoff", false,
              {"Specifies the message at which to start", "archiving.  Must be used with /d.  Format",
               "must be hh:mm."});
    filterRow("/s subject", true, {"Subject match.  Will match the beginning", "of the subject.  Case insensitive."});
}

void pageFour() {
    filterRow("/S subject", true, {"Subject match.  Will match anywhere in", "the subject.  Case insensitive."});
    filterRow("/F address", true, {"From address"});
    filterRow("/T address", true, {"To address"});
    filterRow("/N", false, {"Delete files after archive"});
    filterRow("/V 1", false, {"Verbose mode.  Tell me what you are doing."});
    filterRow("/V 2", false, {"Verbose mode, but do not delete.", "This overrides the /N option"});
    filterRow("/V 3", false, {"Verbose mode, but do not archive or delete."});
    filterRow("/V 4", false, {"Display all specified options and exit."});
    // The last two lines of /q have always been indented with tabs.
    filterRow("/q", false, {"If verbose mode is specified then make", "the zip/unzip operations quiet.  If no"});
    lines({"    \t\t\t\t\t\t\t\t\t\t\tverbose mode is specified then make the",
           "    \t\t\t\t\t\t\t\t\t\t\tzip/unzip operations noisy."});
    filterRow("/Q", false, {"Query mode for restore only."});
    lines({""});
    filterRow("/r", false, {"Restore files."});
    filterRow("/L", false,
              {"List what the archives hold.  Every", "ARCHIV??.ZIP, or the archive files named",
               "(* and ? allowed).  Writes nothing."});
    filterRow("/R", false, {"All required.  All filter parameters are", "required."});
    filterRow("/o", false, {"Restore files to original location."});
    lines({"", ""});
}

void pageFive() {
    lines({"Folder and Sort Parameters", "----------------------------", ""});
    const std::string value(47, ' ');
    filterRow("/i  [option]", false, {"Option to specify sorting of address book.", "Option can be one of:"});
    for (const char* field : {"name", "alias", "email", "company"}) std::printf("%s%s\n", value.c_str(), field);
    filterRow("/I", false, {"Option to specify reindexing."});
    lines({""});
}

}  // namespace

void waitForKey() {
    std::printf("\n%s", pagePrompt);
    std::fflush(stdout);
    // Only a console is asked: input from a file or a pipe belongs to
    // whoever started us, and a scheduled run must never hang here.
    if (platform::standardInputIsTerminal()) {
        while (platform::keyWaiting()) {
            if (platform::readKey() < 0) break;
        }
        platform::readKey();
    }
    for (const char* p = pagePrompt; *p; ++p) std::fputs("\b \b", stdout);
    std::fflush(stdout);
}

void showUsage(char letter) {
    if (letter != 0) std::printf("option %c specified multiple times\n", letter);
    pageOne();
    waitForKey();
    pageTwo();
    waitForKey();
    pageThree();
    waitForKey();
    pageFour();
    waitForKey();
    pageFive();
    std::fflush(stdout);
    endProcess(1);
}
