// Configuration statements: the input is either an archive.cfg that
// readConfigFile reads line by line (splitConfigLine, then
// dispatchStatement for each line), or one statement whose words are the
// input split at NUL bytes, handed to dispatchStatement directly.
//
// The first byte sets what the command line had already decided (reindex,
// verbose, lists, single values), so that the precedence rules are reached.
// A numbered fatal error or the usage text ends a statement as it would end
// the run: with status 1, which the harness accepts; any other end fails.
//
// The report file is set beforehand to a file in the sandbox, so that no
// statement makes a report file of a name taken from the input (the
// harness must not write outside its directory).
#include "LL.h"
#include "fuzz_exit.h"
#include "fuzz_support.h"
#include "options.h"
#include "settings.h"

#include <cstring>
#include <ctime>

#include <unistd.h>

namespace {

void resetSettings() {
    static LL* lists[10] = {CreatLL(), CreatLL(), CreatLL(), CreatLL(), CreatLL(),
                            CreatLL(), CreatLL(), CreatLL(), CreatLL(), CreatLL()};
    for (LL* list : lists) ClearLL(list);
    settings = RunSettings{};
    settings.accountDir = lists[0];
    settings.accountName = lists[1];
    settings.folderDir = lists[2];
    settings.folderName = lists[3];
    settings.beginSubject = lists[4];
    settings.partialSubject = lists[5];
    settings.fromAddress = lists[6];
    settings.toAddress = lists[7];
    settings.topSelected = lists[8];
    settings.topIndexed = lists[9];
    settings.now = std::time(nullptr);
    if (std::tm* local = std::localtime(&settings.now)) settings.nowLocal = *local;
    settings.ageFields = settings.nowLocal;
    settings.cutOffFields = settings.nowLocal;
    settings.cutOffFields.tm_hour = 23;
    settings.cutOffFields.tm_min = 59;
    static const std::string start = fuzz::sandbox().string();
    settings.startDir = start.c_str();
    settings.outputFileName = "report.txt";
}

void asIfFromCommandLine(int mode) {
    if (mode & 2) {
        settings.job = jobReindex;
        settings.reindexRequested = true;
    }
    if (mode & 4) {
        settings.verbose = 1 + (mode >> 6);
        settings.verboseFromCmdline = true;
    }
    if (mode & 8) {
        AppendStringLL(settings.accountDir, "a.act");
        AppendStringLL(settings.beginSubject, "Re:");
        FolderSelector selector{};
        std::strcpy(selector.name, "inbox.fld");
        AppendLL(settings.folderDir, sizeof selector, &selector);
    }
    if (mode & 16) {
        settings.fileAge = "30";
        settings.fileAgeFromCmdline = true;
        settings.dateCutOff = "2001/02/03";
        settings.dateCutOffFromCmdline = true;
        settings.timeCutOff = "12:00";
        settings.timeCutOffFromCmdline = true;
        settings.sort = "name";
        settings.sortFromCmdline = true;
    }
    auto& c = settings.cmdlineListCount;
    c.accountDir = CountLL(settings.accountDir);
    c.folderDir = CountLL(settings.folderDir);
    c.beginSubject = CountLL(settings.beginSubject);
}

void checkSettings() {
    FUZZ_CHECK(settings.verbose >= 0 && settings.verbose <= 4);
    FUZZ_CHECK(settings.archiveDayIndex >= 0 && settings.archiveDayIndex <= 6);
    FUZZ_CHECK(settings.job == jobArchive || settings.job == jobRestore || settings.job == jobReindex ||
               settings.job == jobSortOnly || settings.job == jobList);
    FUZZ_CHECK(settings.fileSize >= 0);
    for (LL* list : {settings.folderDir, settings.folderName})
        TypedLL<FolderSelector>(list).forEach([](const FolderSelector& s) {
            FUZZ_CHECK(strnlen(s.name, sizeof s.name) < sizeof s.name);
            FUZZ_CHECK(s.nested == 0 || s.nested == 1);
        });
}

// A fatal error inside readConfigFile leaves archive.cfg open: the process
// would have ended there. The harness goes on, so it closes that file
// itself, or the descriptors would run out after a thousand such inputs.
void closeLeftOpenConfigFile() {
    static const std::filesystem::path config = std::filesystem::weakly_canonical(fuzz::sandbox() / "archive.cfg");
    std::vector<int> open;
    std::error_code failed;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", failed)) {
        std::error_code unreadable;
        if (std::filesystem::read_symlink(entry.path(), unreadable) == config)
            open.push_back(std::stoi(entry.path().filename().string()));
    }
    for (int fd : open) ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::sandbox();
    std::freopen("/dev/null", "r", stdin);  // the usage text must never wait for a key
    fuzz::interceptProcessEnd();
    // A main directory that a velmorDirName statement or /p can enter.
    std::filesystem::create_directory(fuzz::sandbox() / "client");
    fuzz::writeFile(fuzz::sandbox() / "client" / "velmor.exe", "");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int mode = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    fuzz::enterSandbox();
    std::filesystem::remove("report.txt");
    resetSettings();
    asIfFromCommandLine(mode);
    try {
        if (mode & 1) {
            std::vector<std::string> words = fuzz::splitAtNul(bytes);
            std::vector<char*> list;
            std::string name = "archive.cfg";
            list.push_back(name.data());
            for (std::string& w : words) list.push_back(w.data());
            const int count = static_cast<int>(list.size());
            list.push_back(nullptr);
            dispatchStatement(count, list.data());
        } else {
            fuzz::writeFile("archive.cfg", bytes);
            settings.configFile = mode & 32 ? "archive.cfg" : nullptr;
            readConfigFile();
        }
    } catch (const fuzz::ProcessEnded& end) {
        FUZZ_CHECK(end.status == 1);
        if (!(mode & 1)) closeLeftOpenConfigFile();
    }
    fuzz::enterSandbox();
    checkSettings();
    return 0;
}
