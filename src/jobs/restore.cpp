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
//
// Messages come out of the archive in batches (restore_batch.h): the
// archive is listed once, one unzip run extracts the messages of a folder
// into a staging folder in their account, and each message is checked
// against the listing and moved into place when its turn comes, so that
// the lines, questions and answers go message by message as they always
// did, and a message is in its folder whole or not at all.
#include "restore.h"
#include "restore_batch.h"

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
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr const char* restoreFolderDir = "restore.fld";
constexpr const char* restoreFolderName = "Restored Files";

// The entries of backup.bag, for the rest of the run like every list of
// the program.
LL* restoreList = nullptr;

bool verbose() { return settings.verbose != 0; }
int noiseFlag() { return settings.zipNoisy ? 1 : 0; }
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
        // A marker after every answer, kept byte for byte: scripts that answer the query wait for it.
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

// ---- the archive ----------------------------------------------------------

// Where the messages of the run come from: the archive, its listing (made
// at the first need) and the batch of messages staged now.
struct RestoreSource {
    std::string archive;
    std::size_t commandLineLimit = 0;
    bool listed = false;
    ArchiveMembers members;
    StagedBatch batch;
    // The folder the batch goes to, as the file system spells it, and the
    // names in it (letter case folded) with their spelling: a message
    // replaces a file of its name in any case, and is moved without a
    // search of the folder per message. Listed again only for a batch to
    // another folder: the run itself adds what comes in meanwhile.
    std::string listedTarget;
    std::string spelledTarget;
    std::unordered_map<std::string, std::string> namesInTarget;

    const ArchiveMembers& listing() {
        if (!listed) {
            listed = true;
            members.load(archive);  // an archive that cannot be listed restores nothing
        }
        return members;
    }
};

// A file that the listing does not show is asked of unzip alone, by the
// name the run has for it, as the restore always did: the archive may
// lack it (unzip then says so in its own words), or the listing may show
// its name otherwise (unzip.exe shows a character that the console's code
// page lacks as "?"). What came out, into `scratch` (made inside
// `account`), is taken only when unzip's own check of its CRC-32 passed
// and it is the one file there. Its path, or "".
std::string extractByName(RestoreSource& source, platform::PrivateDirectory& scratch, const std::string& account,
                          const std::string& name) {
    if (scratch.create(account)) return std::string();
    if (extractMembers(scratch.path(), source.archive.c_str(), {literalPattern(withoutDotSlash(name))}, {},
                       noiseFlag()) != 0)
        return std::string();
    std::vector<platform::DirEntry> files;
    for (platform::DirEntry& entry : platform::findEntries(scratch.path() + "/*"))
        if (entry.name != "." && entry.name != "..") files.push_back(std::move(entry));
    if (files.size() != 1 || (files[0].attributes & platform::attributeDirectory)) return std::string();
    return scratch.path() + "/" + files[0].name;
}

// Takes the settings file that store path `member` names out of the
// archive and puts it whole into directory `dir` under `name`, through a
// staging folder of its own in `account`. False when it did not come out
// whole.
bool restoreSettingsFile(RestoreSource& source, const std::string& member, const std::string& account,
                         const std::string& dir, const char* name) {
    StagedBatch staged;
    platform::PrivateDirectory scratch;
    std::string file;
    if (const ArchiveMember* found = source.listing().find(member)) {
        staged.extract(account, source.archive, {found}, false, false, noiseFlag());
        file = staged.wholeFile(found);
    } else {
        file = extractByName(source, scratch, account, member);
    }
    return !file.empty() && !platform::renameFile(file, dir + "/" + name);
}

// The folder that receives a message (as buildTarget builds it).
std::string targetFolder(const RestorePath& path) {
    std::string target = path.account + "/";
    if (!settings.originalLocation) target += std::string(restoreFolderDir) + "/";
    for (const std::string& folder : path.folders) {
        if (target.back() != '/') target += "/";
        target += folder;
    }
    return target;
}

// Stages the batch that begins with `first`, the member of the list entry
// at `at`: the members of the entries that follow it to the same folder
// from the same archive directory, up to the first entry that goes
// elsewhere or names a file of the batch again. Entries that will be
// refused, or whose member the archive lacks, are left to their turn.
// Named one by one, the batch ends where the command line is full.
void stageBatchFrom(RestoreSource& source, void* at, const RestorePath& path, const std::string& target,
                    const ArchiveMember* first) {
    const ArchiveMembers& members = source.listing();
    const std::string directory = folded(directoryOf(first->name));
    std::vector<const ArchiveMember*> batch{first};
    std::unordered_set<std::string> names{folded(lastElement(first->name))};
    for (void* e = NextLL(at); SizeLL(e) != 0; e = NextLL(e)) {
        const IndexEntry& next = *static_cast<const IndexEntry*>(e);
        if (!next.fileName) continue;
        std::string lowered = next.fileName;
        lowerCase(lowered);
        RestorePath nextPath;
        if (!splitRestorePath(lowered, nextPath)) continue;
        if (targetFolder(nextPath) != target) break;
        const ArchiveMember* member = members.find(next.fileName);
        if (!member) continue;
        if (folded(directoryOf(member->name)) != directory) break;
        if (!names.insert(folded(lastElement(member->name))).second) break;
        batch.push_back(member);
    }
    const bool wholeDirectory = extractWholeDirectory(batch.size(), members.messagesBeside(*first), members.size()) &&
                                !members.casesClashBeside(*first);
    if (!wholeDirectory) {
        const std::size_t fixed = extractWordsLength(path.account + "/.archiver-XXXXXX", source.archive.c_str());
        const std::size_t room = source.commandLineLimit > fixed ? source.commandLineLimit - fixed : 0;
        std::size_t used = 0, fit = 0;
        for (; fit < batch.size(); ++fit) {
            used += patternLength(literalPattern(batch[fit]->name));
            if (used > room && fit > 0) break;
        }
        batch.resize(fit);
    }
    source.batch.extract(path.account, source.archive, batch, wholeDirectory, members.messagesBelow(*first),
                         noiseFlag());
    if (source.listedTarget == target) return;
    source.listedTarget = target;
    source.spelledTarget = platform::resolvePath(target);
    source.namesInTarget.clear();
    for (const platform::DirEntry& entry : platform::findEntries(source.spelledTarget + "/*"))
        source.namesInTarget.emplace(folded(entry.name), entry.name);
}

// Puts the message of `entry` (the list entry at `at`) from the archive
// into `target`: from the batch staged for it, or from a new batch that
// begins with it, or, when the listing does not show it, by its name alone. The file takes the name its index line gives, so that
// the client finds it (in the archive's spelling where the two differ in
// letter case alone, as unzip always wrote it). False when the message
// did not come out whole or cannot be put there.
bool placeMessage(RestoreSource& source, void* at, const RestorePath& path, const std::string& target,
                  const IndexEntry& entry) {
    const ArchiveMember* member = source.listing().find(entry.fileName);
    if (!member) {
        platform::PrivateDirectory scratch;
        const std::string file = extractByName(source, scratch, path.account, entry.fileName);
        if (file.empty()) return false;
        const std::string stored = lastElement(file);
        return !platform::renameFile(file, target + "/" + (equalNoCase(stored, path.file) ? stored : path.file));
    }
    if (!source.batch.holds(member)) stageBatchFrom(source, at, path, target, member);
    const std::string file = source.batch.wholeFile(member);
    if (file.empty()) return false;
    const std::string stored = lastElement(member->name);
    const std::string name = equalNoCase(stored, path.file) ? stored : path.file;
    const std::string spelled = source.namesInTarget.emplace(folded(name), name).first->second;
    if (platform::renameSpelled(file, source.spelledTarget + "/" + spelled)) return false;
    source.batch.taken(member);
    return true;
}

// ---- one entry ------------------------------------------------------------

// The account directory, re-created with its acct.ini from the archive
// when it is missing.
void ensureAccount(const std::string& account, RestoreSource& source) {
    if (platform::fileExists(account)) return;
    if (verbose()) consoleLinef("Recreating account directory: %s", account.c_str());
    platform::makeDirectory(account);
    std::string member = "./" + account + "/acct.ini";
    restoreSettingsFile(source, member, account, account, "acct.ini");  // an account without it still takes messages
    if (verbose()) consoleLinef("Restoring account ini file: %s", withoutDotSlash(member).c_str());
}

// Builds the folder that receives the message, level by level, each level
// with the folder.ini of its original from the archive when it has none.
std::string buildTarget(const RestorePath& path, RestoreSource& source) {
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
            if (!restoreSettingsFile(source, member, path.account, target, "folder.ini"))
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

void restoreEntry(void* at, RestoreSource& source) {
    IndexEntry& entry = *static_cast<IndexEntry*>(at);
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
    ensureAccount(path.account, source);
    std::string target = buildTarget(path, source);

    if (verbose()) consoleLinef("Restoring file: %s  to  %s", entry.fileName, target.c_str());
    if (!placeMessage(source, at, path, target, entry)) {
        consoleLinef("Error unarchiving file %s ", withoutDotSlash(entry.fileName).c_str());
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
    const std::vector<std::string_view> parts = pathComponents(fileName);
    for (std::string_view part : parts)
        if (part == "..") return false;
    const std::vector<std::string> elements(parts.begin(), parts.end());
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
    // A configuration file may turn a /I run into a restore: then the
    // message criteria do not apply.
    const Selection selection = settings.reindexRequested ? Selection::everything : Selection::byCriteria;

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

        if (keep && !messageSelected(entry, selection)) keep = false;
        if (!keep) DeleteLL(e);
    }
}

void restoreMessages(LL* list) { restoreMessages(list, platform::commandLineLimit()); }

void restoreMessages(LL* list, std::size_t commandLineLimit) {
    RestoreSource source;
    source.archive = archiveOnDisk();
    source.commandLineLimit = commandLineLimit;
    for (void* e = FirstLL(list); SizeLL(e) != 0; e = NextLL(e)) restoreEntry(e, source);
}

void runRestore() {
    if (!checkZipVersion(ZipProgram::unzip)) return;
    if (verbose()) consoleLinef("Restoring Files");
    resolveAccountNames();

    const std::string archive = archiveOnDisk();
    if (archive.empty())
        fatalError(4512, "A valid Archive file [%s] is REQUIRED when performing a restore",
                   settings.archiveFile ? settings.archiveFile : "(null)");

    char member[] = "backup.bag";
    if (unzipInto(std::string(), archive, member) != 0) fatalError(4523, "Error unarchiving backup.bag file");

    restoreList = CreatLL();
    readIndexFile("./", restoreList, IndexKind::backup);
    platform::removeFile("backup.bag");

    if (CountLL(restoreList) > 0) selectForRestore(restoreList);
    restoreMessages(restoreList);
}
