#include "restore_batch.h"

#include "file_crc.h"
#include "util.h"

namespace {

// A store path with "/" between its elements, "." and empty ones left out.
std::string normalized(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos) end = path.size();
        if (end > start && !(end - start == 1 && path[start] == '.')) {
            if (!out.empty()) out += '/';
            out.append(path, start, end - start);
        }
        start = end + 1;
    }
    return out;
}

bool isMessageName(const std::string& foldedName) {
    return foldedName.size() >= 4 && foldedName.compare(foldedName.size() - 4, 4, ".msg") == 0;
}

// The cost of naming one member to one unzip run that reads an archive of
// M members (a comparison with each, about 45 ns with -C) against that of
// extracting and removing one small message for nothing (about 100 µs):
// naming k members of a directory of n messages costs k x M comparisons,
// the pattern (n - k) wasted messages.
constexpr std::size_t comparisonsPerWastedMessage = 2000;

}  // namespace

std::string directoryOf(const std::string& name) {
    const std::size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

std::string lastElement(const std::string& name) {
    const std::size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string folded(std::string name) { return lowerCase(name); }

bool extractWholeDirectory(std::size_t chosen, std::size_t inDirectory, std::size_t archiveMembers) {
    if (chosen == 0 || chosen > inDirectory) return false;
    // Both sides stay far below the range of std::size_t for any archive
    // zip can write (65,535 members, or a few million with Zip64).
    return chosen * archiveMembers > comparisonsPerWastedMessage * (inDirectory - chosen);
}

// ---- the listing ----------------------------------------------------------

bool ArchiveMembers::load(const std::string& archive) {
    std::vector<ArchiveMember> listed;
    const bool whole = listArchiveContents(archive.c_str(), listed);
    assign(whole ? std::move(listed) : std::vector<ArchiveMember>());
    return whole;
}

void ArchiveMembers::assign(std::vector<ArchiveMember> members) {
    members_ = std::move(members);
    byPath_.clear();
    directories_.clear();
    byPath_.reserve(members_.size());
    for (std::size_t i = 0; i < members_.size(); ++i) {
        const std::string& name = members_[i].name;
        if (name.empty() || name.back() == '/') continue;  // a directory's own entry
        std::string key = folded(name);
        const bool first = byPath_.emplace(key, i).second;
        if (!isMessageName(key)) continue;
        std::string dir = directoryOf(key);
        Directory& directory = directories_[dir];
        ++directory.messages;
        if (!first) directory.casesClash = true;
        // Each directory above learns of it once: the walk up stops at the
        // first that already knows.
        while (!dir.empty()) {
            dir = directoryOf(dir);
            Directory& above = directories_[dir];
            if (above.messagesBelow) break;
            above.messagesBelow = true;
        }
    }
}

const ArchiveMember* ArchiveMembers::find(const std::string& path) const {
    for (const std::string& form : memberNameForms(normalized(path))) {
        auto it = byPath_.find(folded(form));
        if (it != byPath_.end()) return &members_[it->second];
    }
    return nullptr;
}

const ArchiveMembers::Directory* ArchiveMembers::directoryOfMember(const ArchiveMember& member) const {
    auto it = directories_.find(folded(directoryOf(member.name)));
    return it == directories_.end() ? nullptr : &it->second;
}

std::size_t ArchiveMembers::messagesBeside(const ArchiveMember& member) const {
    const Directory* directory = directoryOfMember(member);
    return directory ? directory->messages : 0;
}

bool ArchiveMembers::casesClashBeside(const ArchiveMember& member) const {
    const Directory* directory = directoryOfMember(member);
    return directory && directory->casesClash;
}

bool ArchiveMembers::messagesBelow(const ArchiveMember& member) const {
    const Directory* directory = directoryOfMember(member);
    return directory && directory->messagesBelow;
}

// ---- one batch ------------------------------------------------------------

namespace {

// The staged file has the size and CRC-32 that the listing gives its
// member. A link (unzip on POSIX makes one for a member stored as a link)
// is judged by its text, which is what the archive holds; it is never
// followed.
bool cameOutWhole(const std::string& path, const platform::DirEntry& entry, const ArchiveMember& member) {
    std::uint32_t crc = 0;
    std::int64_t size = 0;
    if (entry.isLink) {
        std::string text;
        if (!platform::readLinkText(path, text)) return false;
        size = static_cast<std::int64_t>(text.size());
        crc = bytesCrc32(text);
    } else if (entry.attributes & platform::attributeDirectory) {
        return false;
    } else if (!fileCrc32(path, crc, size)) {
        return false;
    }
    return size == member.size && crc == member.crc;
}

}  // namespace

void StagedBatch::extract(const std::string& inside, const std::string& archive,
                          const std::vector<const ArchiveMember*>& members, bool wholeDirectory, bool excludeBelow,
                          int noiseFlag) {
    clear();
    for (const ArchiveMember* member : members) staged_.emplace(member, std::string());
    if (members.empty() || folder_.create(inside)) return;  // nothing comes out: each takes the failure road

    std::vector<std::string> patterns, excluded;
    if (wholeDirectory) {
        std::string directory = literalPattern(directoryOf(members.front()->name));
        if (!directory.empty()) directory += '/';
        // Without -W (Windows's unzip has none) "*" also crosses "/": the
        // folders below are left out by name.
        patterns.push_back(directory + "*.msg");
        if (excludeBelow) excluded.push_back(directory + "*/*.msg");
    } else {
        patterns.reserve(members.size());
        for (const ArchiveMember* member : members) patterns.push_back(literalPattern(member->name));
    }
    extractMembers(folder_.path(), archive.c_str(), patterns, excluded, noiseFlag);

    // What came out, by the names unzip gave the files: those of the
    // listing, in this system's spelling.
    std::unordered_map<std::string, const platform::DirEntry*> exact, anyCase;
    const std::vector<platform::DirEntry> entries = platform::findEntries(folder_.path() + "/*");
    for (const platform::DirEntry& entry : entries) {
        if (entry.name == "." || entry.name == "..") continue;
        exact.emplace(entry.name, &entry);
        anyCase.emplace(folded(entry.name), &entry);
    }
    for (const ArchiveMember* member : members) {
        const std::string name = lastElement(member->name);
        const platform::DirEntry* entry = nullptr;
        if (auto it = exact.find(name); it != exact.end()) entry = it->second;
        else if (auto any = anyCase.find(folded(name)); any != anyCase.end()) entry = any->second;
        if (!entry) continue;
        const std::string path = folder_.path() + "/" + entry->name;
        if (cameOutWhole(path, *entry, *member)) staged_[member] = path;
    }
}

std::string StagedBatch::wholeFile(const ArchiveMember* member) const {
    auto it = staged_.find(member);
    return it == staged_.end() ? std::string() : it->second;
}

void StagedBatch::clear() {
    folder_.remove();
    staged_.clear();
}
