#include "scan.h"

#include "diagnostics.h"
#include "filters.h"
#include "folder_reader.h"
#include "header_reader.h"
#include "index_file.h"
#include "settings.h"
#include "store.h"
#include "util.h"

#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Nested path selectors too long for a FolderSelector's 255 characters:
// cut short they would name a folder higher up and select its siblings.
std::vector<std::string> longNestedSelectors;

bool isEmptyList(LL* list) { return !list || CountLL(list) == 0; }

// A path selector names a folder by its path below the main directory; a
// nested one also every folder below that one.
bool pathSelectorMatches(std::string_view selector, bool nested, const std::vector<std::string_view>& folder) {
    std::vector<std::string_view> wanted = pathComponents(selector);
    if (nested ? wanted.size() > folder.size() : wanted.size() != folder.size()) return false;
    for (std::size_t i = 0; i < wanted.size(); ++i)
        if (!equalNoCase(wanted[i], folder[i])) return false;
    return true;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equalNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// `diskPath` is spelled as the file system spells it: it was built from
// directory listings below a resolved start.
void takeSelectedPath(const ScanRules& rules, const std::string& diskPath) {
    ++archiveFileCount;
    if (rules.takePath) rules.takePath(diskPath);
}

void addNestedSelector(std::string path) {
    lowerCase(path);
    std::vector<char> text(path.begin(), path.end());
    text.push_back('\0');
    normalizeSeparators(text.data());
    std::string normalised(text.data());
    if (normalised.size() >= sizeof(FolderSelector::name)) {
        longNestedSelectors.push_back(normalised);
        return;
    }
    if (!settings.folderDir) settings.folderDir = CreatLL();
    FolderSelector selector{};
    std::memcpy(selector.name, normalised.c_str(), normalised.size() + 1);
    selector.nested = 1;
    TypedLL<FolderSelector>(settings.folderDir).append(selector);
}

// `diskDir` is `dir` as the file system spells it: the list file gets
// that spelling, the scan tree keeps the one `dir` was given in.
int scanListed(const std::string& dir, const std::string& diskDir, FolderReader& reader, LL* selectedList,
               LL* indexedList, bool scanMessages, const ScanRules& rules) {
    TypedLL<IndexEntry> selected(selectedList);
    MessageTexts texts;  // one for the folder: its strings keep their room from message to message
    const std::vector<platform::DirEntry>& entries = reader.entries();
    // Which entries are messages is decided here, once: the reader reads
    // exactly these ahead, and the loop below takes exactly these.
    std::vector<bool> isMessage(entries.size(), false);
    if (scanMessages)
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const platform::DirEntry& e = entries[i];
            isMessage[i] = !e.name.empty() && e.name[0] != '.' && !(e.attributes & platform::attributeDirectory) &&
                           isMessageFileName(e.name);
        }
    reader.readAhead(isMessage, headerEndsWithin);
    // The folders below are listed, in the order the loop takes them, while
    // the work goes on here and in the folders before.
    std::vector<std::string> folders;
    for (const platform::DirEntry& e : entries)
        if (!e.name.empty() && e.name[0] != '.' && (e.attributes & platform::attributeDirectory) && !e.isLink)
            folders.push_back(dir + e.name + "/*.*");
    std::optional<ListingsAhead> listingsAhead;
    if (!folders.empty()) listingsAhead.emplace(std::move(folders));
    // After the reading has started: it reads while the index is parsed.
    if (indexedList) readIndexFile(dir.c_str(), indexedList, IndexKind::folder, &reader.listing());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const platform::DirEntry& e = entries[i];
        if (e.name.empty() || e.name[0] == '.') continue;
        if (e.attributes & platform::attributeDirectory) {
            // A linked directory is not the store's: it may lead out of it,
            // where nothing may be archived or deleted, or back up into it.
            if (e.isLink) continue;
            const std::string name = e.name + "/";
            const std::string sub = dir + name;
            const std::string diskSub = diskDir + name;
            FolderReader below(sub, diskSub, listingsAhead ? &*listingsAhead : nullptr);
            if (const platform::DirEntry* ini = below.listing().find("folder.ini"))
                takeSelectedPath(rules, diskSub + ini->name);
            if (endsWithNoCase(name, ".act/"))
                if (const platform::DirEntry* ini = below.listing().find("acct.ini"))
                    takeSelectedPath(rules, diskSub + ini->name);
            IndexEntry node = directoryNode(name);
            bool lookAtMessages = folderSelected(dir.c_str(), node, rules.selection) != 0;
            scanListed(sub, diskSub, below, node.selected, node.indexed, lookAtMessages, rules);
            selected.append(node);
        } else if (isMessage[i]) {
            MessageFileTimes times{e.changeTime, e.modifyTime, e.accessTime};
            const std::uint64_t size = e.size > 0 ? static_cast<std::uint64_t>(e.size) : 0;
            platform::FileStart start;
            const bool readAhead = reader.take(i, start);
            if (!readFileContents(dir.c_str(), e.name.c_str(), size, &times, texts, readAhead ? &start : nullptr))
                continue;
            if (!messageSelected(texts.view(), rules.selection)) continue;
            takeSelectedPath(rules, diskDir + e.name);
            selected.append(texts.keep());
            archiveBytes += static_cast<long long>(size);
        }
    }
    return entries.empty() ? -1 : 0;
}

}  // namespace

IndexEntry directoryNode(std::string_view name) {
    IndexEntry node{};
    node.fileName = keepString(name);
    node.selected = CreatLL();
    node.indexed = CreatLL();
    return node;
}

int scanDirectory(const char* dir, LL* selectedList, LL* indexedList, bool scanMessages, const ScanRules& rules) {
    if (!dir || !selectedList) return 0;
    try {
        const std::string path(dir);
        const std::string diskPath = platform::resolvePath(path);
        FolderReader reader(path, diskPath);
        return scanListed(path, diskPath, reader, selectedList, indexedList, scanMessages, rules);
    } catch (const std::bad_alloc&) {
        fatalError(3272, "Malloc failed");
    }
}

int folderSelected(const char* parentDir, const IndexEntry& node, Selection selection) {
    const std::string_view name = node.fileName ? node.fileName : "";
    if (name.find(".act") != std::string_view::npos || name.find(".ACT") != std::string_view::npos) return 1;
    if (selection == Selection::everything) return 1;
    if (isEmptyList(settings.folderDir) && isEmptyList(settings.folderName) && longNestedSelectors.empty()) return 1;

    const std::string parent = parentDir ? parentDir : "";
    const std::size_t nameLength = !name.empty() && name.back() == '/' ? name.size() - 1 : name.size();
    std::vector<std::string_view> folderPath;
    std::string normalisedPath;
    auto folderComponents = [&]() -> const std::vector<std::string_view>& {
        if (folderPath.empty()) {
            normalisedPath = parent + std::string(name);
            folderPath = pathComponents(normalisedPath);
        }
        return folderPath;
    };

    if (settings.folderDir) {
        for (void* e = FirstLL(settings.folderDir); SizeLL(e) != 0; e = NextLL(e)) {
            auto* selector = static_cast<FolderSelector*>(e);
            selector->name[sizeof selector->name - 1] = '\0';
            std::string_view s(selector->name);
            if (s.size() <= nameLength && equalNoCase(name.substr(0, s.size()), s)) return 1;
            normalizeSeparators(selector->name);
            s = selector->name;
            if (s.find('\\') != std::string_view::npos &&
                pathSelectorMatches(s, selector->nested != 0, folderComponents()))
                return 1;
        }
    }
    for (const std::string& s : longNestedSelectors)
        if (pathSelectorMatches(s, true, folderComponents())) return 1;

    if (isEmptyList(settings.folderName)) return 0;
    const std::string displayName = readFolderName((parent + "/" + std::string(name)).c_str());
    for (void* e = FirstLL(settings.folderName); SizeLL(e) != 0; e = NextLL(e)) {
        auto* selector = static_cast<FolderSelector*>(e);
        selector->name[sizeof selector->name - 1] = '\0';
        std::string_view s(selector->name);
        std::size_t n = std::min(s.size(), displayName.size());
        if (n == 0 || !equalNoCase(s.substr(0, n), std::string_view(displayName).substr(0, n))) continue;
        if (selector->nested) addNestedSelector(parent + std::string(name));
        return 1;
    }
    return 0;
}

void resolveAccountNames() {
    if (isEmptyList(settings.accountName)) return;
    if (!settings.accountDir) settings.accountDir = CreatLL();
    for (const platform::DirEntry& e : platform::findEntries("*.act")) {
        // Only a directory can be an account; a stray file of that name has
        // no acct.ini and must not end the run.
        if (e.name.empty() || !(e.attributes & platform::attributeDirectory)) continue;
        const char* found = readAccountName((e.name + "/").c_str());
        if (!found) continue;
        const std::string displayName = found;
        for (void* p = FirstLL(settings.accountName); SizeLL(p) != 0; p = NextLL(p)) {
            std::string_view pattern(static_cast<const char*>(p));
            std::size_t n = std::min(pattern.size(), displayName.size());
            if (!equalNoCase(pattern.substr(0, n), std::string_view(displayName).substr(0, n))) continue;
            const std::string& dirName = e.name;
            AppendStringLL(settings.accountDir, dirName.c_str());
            if (settings.verbose)
                consoleLinef("Account \"%s\",  dir added for name match (%s): %s\n", displayName.c_str(),
                             static_cast<const char*>(p), dirName.c_str());
            break;
        }
    }
    ClearLL(settings.accountName);
}
