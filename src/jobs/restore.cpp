// Restore: messages of an archive back into the store, into their own
// folders (/o) or into a "Restored Files" tree of each account.
//
// The store's names are lower-cased here, as the client's file system
// ignores case; the platform layer (and unzipFile for the directories it
// hands unzip) finds an existing "Work.ACT/Inbox.FLD" for
// "work.act/inbox.fld", so nothing is restored beside the folders it came
// from.
//
// backup.bag comes from the archive and is not trusted: an entry whose
// path could lead out of the main directory is refused and skipped.
#include "restore.h"

#include "LL.h"
#include "diagnostics.h"
#include "jobs.h"
#include "platform.h"
#include "settings.h"
#include "store.h"
#include "util.h"
#include "zip.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* restoreFolderDir = "restore.fld";
constexpr const char* restoreFolderName = "Restored Files";

// The entries of backup.bag, for the rest of the run like every list of
// the program.
LL* restoreList = nullptr;

bool verbose() { return settings.verbose != 0; }
int noiseFlag() { return settings.quiet ? 1 : 0; }
const char* text(const char* value) { return value ? value : ""; }

bool isFile(const std::string& path) {
    platform::FileStatus status;
    return platform::fileStatus(path, status) && !status.isDirectory;
}

// The archive as unzip is to open it: the name as given, or with ".zip"
// appended (found without regard to case, as unzipFile hands unzip the
// names that exist). Empty when neither is there.
std::string archiveOnDisk() {
    if (!settings.archiveFile) return std::string();
    const std::string name = settings.archiveFile;
    if (isFile(name)) return name;
    if (isFile(name + ".zip")) return name + ".zip";
    return std::string();
}

// unzipFile takes its member in writable storage; an empty directory
// extracts under the stored path.
int unzipInto(const std::string& dir, const std::string& archive, std::string member) {
    std::vector<char> name(member.begin(), member.end());
    name.push_back('\0');
    return unzipFile(dir.empty() ? nullptr : dir.c_str(), archive.c_str(), name.data(), noiseFlag());
}

std::string withoutDotSlash(const std::string& member) {
    return member.compare(0, 2, "./") == 0 ? member.substr(2) : member;
}

bool endsWith(const std::string& s, const char* suffix) {
    std::size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// ---- the console questions ----------------------------------------------

void show(const std::string& s) {
    std::fwrite(s.data(), 1, s.size(), stdout);
    std::fflush(stdout);
}

// A line of the entry shown in query mode, cut to `limit` characters (a
// cut line loses its line end).
void showCut(std::string line, std::size_t limit) {
    if (line.size() > limit) line.resize(limit);
    show(line);
}

// Reads keys until one whose lower-case form is among `answers`, echoing
// the printable ones. At end of input, or with nothing to read, no answer
// can come: `atEnd` is taken, the answer that does least harm.
char readAnswer(const char* answers, char atEnd) {
    for (;;) {
        int key = platform::readKey();
        if (key < 0) return atEnd;
        if (key >= 0x20 && key < 0x7f) std::fputc(key, stdout);
        std::fflush(stdout);
        int lower = key >= 'A' && key <= 'Z' ? key - 'A' + 'a' : key;
        if (lower != 0 && std::strchr(answers, lower)) return static_cast<char>(lower);
    }
}

// The query of one entry: true to restore it, false to skip it. Quitting
// ends the process.
bool askAboutEntry(const IndexEntry& entry) {
    for (;;) {
        showCut(std::string("\nFile:   ") + text(entry.fileName) + "\n", 80);
        showCut(std::string("Date:   ") + text(entry.date) + ", " + text(entry.time) + "\n", 80);
        showCut(std::string("Subj:   ") + text(entry.subject) + "\n", 79);
        showCut(std::string("To:     ") + text(entry.recipientAddress) + " (" + text(entry.recipientName) + ")\n", 79);
        showCut(std::string("From:   ") + text(entry.senderAddress) + " (" + text(entry.senderName) + ")\n", 79);
        show("\nProceed (y/n/q/a/?): ");
        // Type-ahead is thrown away at a console; piped answers are the
        // answers.
        if (platform::standardInputIsTerminal())
            while (platform::keyWaiting()) platform::readKey();
        char answer = readAnswer("ynqa?", 'q');
        show("bbb - \n");
        switch (answer) {
            case '?':
                show("y     Yes\n");
                show("n     No\n");
                show("q     Quit\n");
                show("a     Yes to all\n\n");
                continue;
            case 'q':
                endProcess(0);
            case 'a':
                settings.queryMode = false;
                return true;
            case 'n':
                return false;
            default:
                return true;
        }
    }
}

// After a message could not be extracted: go on ("y") or stop with 1.
void askToProceed() {
    show("\nProceed (y/n): ");
    for (;;) {
        int key = platform::readKey();
        if (key < 0 || key == 'n') endProcess(1);
        if (key == 'y') return;
    }
}

// ---- one entry ------------------------------------------------------------

// The account directory, re-created with its acct.ini from the archive
// when it is missing.
void ensureAccount(const std::string& account, const std::string& archive) {
    if (platform::fileExists(account)) return;
    if (verbose()) consoleLinef("Recreating account directory: %s", account.c_str());
    platform::makeDirectory(account);
    std::string member = "./" + account + "/acct.ini";
    unzipInto(account, archive, member);  // an account without it still takes messages
    if (verbose()) consoleLinef("Restoring account ini file: %s", withoutDotSlash(member).c_str());
}

// Builds the folder that receives the message, level by level, each level
// with the folder.ini of its original from the archive when it has none.
std::string buildTarget(const RestorePath& path, const std::string& archive) {
    std::string target = path.account + "/";
    if (!settings.originalLocation) {
        target += restoreFolderDir;
        platform::makeDirectory(target);
        target += "/";
        createFolderIni(target.c_str(), restoreFolderName);
    }
    // The original folder's path in the archive, whatever the target is.
    std::string original = path.account;
    for (const std::string& folder : path.folders) {
        if (target.back() != '/') target += "/";
        target += folder;
        platform::makeDirectory(target);
        original += "/" + folder;
        if (!platform::fileExists(target + "/folder.ini")) {
            std::string member = original + "/folder.ini";
            if (unzipInto(target, archive, "./" + member) != 0)
                fatalError(4397, "Error unarchiving INI file [%s] in folder: %s", member.c_str(), target.c_str());
        }
    }
    return target;
}

void indexRestoredMessage(const std::string& target, IndexEntry& entry) {
    std::FILE* bag = platform::openFile(target + "/folder.bag", "ab");
    if (!bag) return;  // restored all the same; a reindex lists it
    writeIndexLine(bag, entry, false);
    std::fclose(bag);
}

void restoreEntry(IndexEntry& entry, const std::string& archive) {
    if (!entry.fileName) return;
    RestorePath path;
    {
        std::string lowered = entry.fileName;
        lowerCase(lowered);
        if (!splitRestorePath(lowered, path)) {
            consoleLinef("Not restoring %s: not a message path inside the mail store", entry.fileName);
            return;
        }
    }
    if (settings.queryMode && !askAboutEntry(entry)) return;

    lowerCase(entry.fileName);
    ensureAccount(path.account, archive);
    std::string target = buildTarget(path, archive);

    if (verbose()) consoleLinef("Restoring file: %s  to  %s", entry.fileName, target.c_str());
    const std::string member = entry.fileName;
    if (unzipInto(target, archive, member) != 0) {
        consoleLinef("Error unarchiving file %s ", withoutDotSlash(member).c_str());
        askToProceed();
        return;
    }
    indexRestoredMessage(target, entry);
}

}  // namespace

bool splitRestorePath(const std::string& fileName, RestorePath& path) {
    path = RestorePath();
    if (fileName.empty() || platform::isAbsolutePath(fileName) || fileName.find(':') != std::string::npos)
        return false;
    std::vector<std::string> elements;
    std::size_t start = 0;
    while (start <= fileName.size()) {
        std::size_t end = fileName.find_first_of("/\\", start);
        if (end == std::string::npos) end = fileName.size();
        std::string element = fileName.substr(start, end - start);
        if (element == "..") return false;
        if (!element.empty() && element != ".") elements.push_back(element);
        start = end + 1;
    }
    std::size_t account = 0;
    while (account < elements.size() && !endsWith(elements[account], ".act")) ++account;
    if (account + 1 >= elements.size()) return false;  // no account, or no message in it
    for (std::size_t i = 0; i + 1 < elements.size(); ++i)
        if (endsWith(elements[i], ".msg")) return false;
    if (!endsWith(elements.back(), ".msg")) return false;
    path.account = elements[account];
    path.folders.assign(elements.begin() + static_cast<std::ptrdiff_t>(account) + 1, elements.end() - 1);
    path.file = elements.back();
    return true;
}

void selectForRestore(LL* list) {
    // The selectors are lower-cased once; the entries' paths as they come.
    for (void* a = FirstLL(settings.accountDir); SizeLL(a) != 0; a = NextLL(a)) lowerCase(static_cast<char*>(a));
    for (void* f = FirstLL(settings.folderName); SizeLL(f) != 0; f = NextLL(f))
        lowerCase(static_cast<FolderSelector*>(f)->name);
    const bool byAccount = CountLL(settings.accountDir) > 0;
    const bool byFolder = CountLL(settings.folderName) > 0;

    void* next = nullptr;
    for (void* e = FirstLL(list); SizeLL(e) != 0; e = next) {
        next = NextLL(e);
        IndexEntry& entry = *static_cast<IndexEntry*>(e);
        if (!entry.fileName) {
            DeleteLL(e);
            continue;
        }
        // Only the selections compare paths; without them the query shows
        // the path as the archive stored it.
        if (byAccount || byFolder) lowerCase(entry.fileName);

        bool keep = !byAccount;
        for (void* a = FirstLL(settings.accountDir); !keep && SizeLL(a) != 0; a = NextLL(a))
            keep = std::strstr(entry.fileName, static_cast<const char*>(a)) != nullptr;

        for (void* f = FirstLL(settings.folderName); keep && SizeLL(f) != 0; f = NextLL(f)) {
            const FolderSelector& selector = *static_cast<const FolderSelector*>(f);
            const char* found = std::strstr(entry.fileName, selector.name);
            if (!found) {
                keep = false;
                break;
            }
            if (selector.nested) continue;
            // Not nested: the message must lie directly in the named folder.
            // A name found only in the file name names no folder at all.
            const char* slash = std::strchr(found + std::strlen(selector.name), '/');
            keep = slash && !std::strchr(slash + 1, '/');
        }

        if (keep && !messageSelected(entry)) keep = false;
        if (!keep) DeleteLL(e);
    }
}

void restoreMessages(LL* list) {
    const std::string archive = archiveOnDisk();
    for (void* e = FirstLL(list); SizeLL(e) != 0; e = NextLL(e)) restoreEntry(*static_cast<IndexEntry*>(e), archive);
}

void runRestore() {
    if (!checkZipVersion(2)) return;
    if (verbose()) consoleLinef("Restoring Files");
    resolveAccountNames();

    const std::string archive = archiveOnDisk();
    if (archive.empty())
        fatalError(4512, "A valid Archive file [%s] is REQUIRED when performing a restore",
                   settings.archiveFile ? settings.archiveFile : "(null)");

    char member[] = "backup.bag";
    if (unzipInto(std::string(), archive, member) != 0) fatalError(4523, "Error unarchiving backup.bag file");

    restoreList = CreatLL();
    readIndexFile("./", restoreList);
    platform::removeFile("backup.bag");

    if (CountLL(restoreList) > 0) selectForRestore(restoreList);
    restoreMessages(restoreList);
}
