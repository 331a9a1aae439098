#include "archive_verify.h"

#include "diagnostics.h"
#include "file_crc.h"
#include "folder_index.h"
#include "platform.h"
#include "settings.h"
#include "thread_counts.h"
#include "util.h"
#include "zip.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

// A message as the noting thread found it: its CRC-32 and size taken in one
// read, with the size and time it had just before.
struct Note {
    const char* path = nullptr;
    std::string key;  // the member name it must have, lower case
    std::int64_t size = 0;
    std::time_t modifyTime = 0;
    std::uint32_t crc = 0;
    // False when the note cannot stand for the file: it could not be read,
    // its size moved during the read, or it was modified so recently that a
    // second change within the same second would leave its time as it is.
    bool settled = false;
};

// The noting thread and everything it shares with the main thread, in one
// object. Never freed, since the thread may still be reading when a fatal
// error ends the process.
class NotingThread {
public:
    explicit NotingThread(LL* selected) { collectMessages(selected, notes_); }

    void start() {
        if (!platform::startQuietThread(thread_, [this] { noteAll(); })) noteAll();
    }
    std::size_t count() const { return notes_.size(); }
    // The note of message `i`, once the thread has taken it.
    const Note& at(std::size_t i) {
        std::unique_lock<std::mutex> hold(lock_);
        progress_.wait(hold, [this, i] { return done_ > i; });
        return notes_[i];
    }
    void stop() {
        if (!thread_.joinable()) return;
        stopping_ = true;
        thread_.join();
    }

private:
    static void collectMessages(LL* selected, std::vector<Note>& notes);
    void noteAll();

    std::vector<Note> notes_;
    std::mutex lock_;
    std::condition_variable progress_;
    std::size_t done_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
NotingThread* noting = nullptr;

enum class Verdict { proven, notInArchive, changed, damaged, unreadable, gone };

struct Judgement {
    Verdict verdict = Verdict::notInArchive;
    // The file as it was proven: size and time, and the member's CRC-32.
    std::int64_t size = 0;
    std::time_t modifyTime = 0;
    std::uint32_t crc = 0;
    // Modified so recently when its CRC-32 was taken that a later change
    // could keep its time: its bytes are read once more before deletion.
    bool readAgain = false;
};
// Keyed by the message's path: the same text, wherever it is kept.
std::unordered_map<std::string, Judgement> judgements;

// A store path in the form zip stores it: as the file system spells it,
// "/" separators, no leading "./", and (for comparing) lower case.
std::string memberKey(const std::string& path) {
    std::string key = platform::resolvePath(path);
    while (key.compare(0, 2, "./") == 0) key.erase(0, 2);
    lowerCase(key);
    return key;
}

// Modified within the second before `taken`, or later: a change in the
// same second would not show in the time.
bool recentlyModified(std::time_t modifyTime, std::time_t taken) { return modifyTime + 1 >= taken; }

void NotingThread::collectMessages(LL* selected, std::vector<Note>& notes) {
    for (void* e = FirstLL(selected); SizeLL(e) != 0; e = NextLL(e)) {
        const IndexEntry& p = *static_cast<const IndexEntry*>(e);
        if (isDirectoryNode(p)) {
            collectMessages(p.selected, notes);
            continue;
        }
        Note note;
        note.path = p.fileName;
        notes.push_back(std::move(note));
    }
}

void takeNote(Note& note) {
    note.key = memberKey(note.path);
    const std::time_t taken = std::time(nullptr);
    platform::FileStatus before;
    std::int64_t size = 0;
    if (!platform::fileStatus(note.path, before) || !fileCrc32(note.path, note.crc, size)) return;
    note.size = size;
    note.modifyTime = before.modifyTime;
    note.settled = size == before.size && !recentlyModified(before.modifyTime, taken);
}

void NotingThread::noteAll() {
    const std::size_t total = notes_.size();
    for (std::size_t i = 0; i < total; ++i) {
        if (stopping_) return;
        takeNote(notes_[i]);
        // The main thread waits for the notes in batches, not file by file.
        if ((i + 1) % 64 == 0 || i + 1 == total) {
            std::lock_guard<std::mutex> hold(lock_);
            done_ = i + 1;
            progress_.notify_one();
        }
    }
}

Judgement judge(const Note& note, const ArchiveMember& member, std::time_t zipStarted) {
    Judgement j;
    platform::FileStatus now;
    if (!platform::fileStatus(note.path, now)) {
        j.verdict = Verdict::gone;
        return j;
    }
    std::uint32_t crc = note.crc;
    std::int64_t size = note.size;
    if (!note.settled || now.size != note.size || now.modifyTime != note.modifyTime) {
        // Changed since it was noted, or never noted: take it again.
        const std::time_t taken = std::time(nullptr);
        platform::FileStatus after;
        if (!fileCrc32(note.path, crc, size)) {
            j.verdict = Verdict::unreadable;
            return j;
        }
        if (!platform::fileStatus(note.path, after) || after.size != size || after.modifyTime != now.modifyTime) {
            j.verdict = Verdict::changed;  // still being written
            return j;
        }
        j.readAgain = recentlyModified(after.modifyTime, taken);
    }
    j.size = now.size;
    j.modifyTime = now.modifyTime;
    j.crc = member.crc;
    if (size == member.size && crc == member.crc) j.verdict = Verdict::proven;
    else j.verdict = recentlyModified(now.modifyTime, zipStarted) ? Verdict::changed : Verdict::damaged;
    return j;
}

// The members' directories in shares of about equal compressed bytes, one
// for each testing thread, each as unzip patterns in runs short enough for
// one command line.
using PatternRuns = std::vector<std::vector<std::string>>;
constexpr std::size_t testers = threadCounts::archiveTesters;

std::vector<PatternRuns> testShares(const std::vector<ArchiveMember>& members) {
    // Without unzip's -W a directory's pattern would name the members below
    // it too, and Windows's unzip matches names in its own code page: the
    // archive is then tested whole, in one run.
    std::vector<PatternRuns> shares(testers);
    if (!unzipWildcardsStopAtSlash()) {
        shares[0] = PatternRuns{{}};
        return shares;
    }
    std::unordered_map<std::string, std::int64_t> bytesOf;
    std::vector<std::string> order;
    for (const ArchiveMember& m : members) {
        const std::size_t slash = m.name.rfind('/');
        std::string dir = slash == std::string::npos ? std::string() : m.name.substr(0, slash);
        auto [it, added] = bytesOf.emplace(dir, 0);
        if (added) order.push_back(dir);
        it->second += m.compressedSize + 1;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](const std::string& a, const std::string& b) { return bytesOf[a] > bytesOf[b]; });
    const std::size_t runBytes = 64 * 1024;
    std::vector<std::int64_t> load(testers, 0);
    std::vector<std::size_t> runSize(testers, 0);
    for (const std::string& dir : order) {
        const std::size_t s = static_cast<std::size_t>(std::min_element(load.begin(), load.end()) - load.begin());
        load[s] += bytesOf[dir];
        std::string pattern = directoryPattern(dir);
        if (shares[s].empty() || runSize[s] + pattern.size() > runBytes) {
            shares[s].emplace_back();
            runSize[s] = 0;
        }
        runSize[s] += pattern.size() + 1;
        shares[s].back().push_back(std::move(pattern));
    }
    return shares;
}

// Runs the test of one share; the first failing status, or 0.
int testShare(const std::string& archive, const PatternRuns& runs) {
    for (const auto& patterns : runs) {
        const int status = testArchiveMembers(archive.c_str(), patterns);
        if (status != 0) return status;
    }
    return 0;
}

// The run ends while the thread may still read: it must stop first, or it
// reads what the ending process frees.
void stopNotingMessages() {
    if (noting) noting->stop();
}

}  // namespace

void startNotingMessages(LL* selected) {
    runBeforeEnd(stopNotingMessages);
    noting = new NotingThread(selected);
    noting->start();
}

bool proveArchived(const std::string& archive, std::time_t zipStarted) {
    judgements.clear();
    std::vector<ArchiveMember> members;
    if (!listArchiveContents(archive.c_str(), members)) {
        // Its notes are not wanted now; it must not read on into the end of
        // the run, when the texts it reads are freed.
        stopNotingMessages();
        reportWarning(4121, "Cannot list the archive %s: no message is deleted, the indexes stay as they were",
                      archive.c_str());
        return false;
    }
    std::unordered_map<std::string, const ArchiveMember*> byName;
    byName.reserve(members.size());
    for (const ArchiveMember& m : members) {
        std::string key = m.name;
        byName.emplace(lowerCase(key), &m);
    }

    // The whole archive is tested, in shares on their own threads, while
    // this thread judges the messages.
    const std::vector<PatternRuns> shares = testShares(members);
    std::vector<int> status(testers, 0);
    std::vector<std::thread> threads(testers);
    std::vector<bool> started(testers, false);
    for (std::size_t s = 0; s < testers; ++s) {
        if (shares[s].empty()) continue;
        const PatternRuns* runs = &shares[s];
        int* result = &status[s];
        started[s] = platform::startQuietThread(threads[s], [&archive, runs, result] {
            *result = testShare(archive, *runs);
        });
    }

    for (std::size_t i = 0; i < noting->count(); ++i) {
        const Note& note = noting->at(i);
        auto it = byName.find(note.key);
        Judgement j;
        if (it != byName.end()) j = judge(note, *it->second, zipStarted);
        judgements[note.path] = j;
    }

    stopNotingMessages();  // every note was taken: it has ended
    for (std::size_t s = 0; s < testers; ++s) {
        if (started[s]) threads[s].join();
        else if (!shares[s].empty()) status[s] = testShare(archive, shares[s]);
    }
    if (std::any_of(status.begin(), status.end(), [](int st) { return st != 0; })) {
        reportWarning(4125, "The archive %s failed its test: no message is deleted, the indexes stay as they were",
                      archive.c_str());
        ++messagesKept;
        return false;
    }
    return true;
}

bool archiveStillAsWritten(const std::string& archive, const platform::FileIdentity& written) {
    platform::FileIdentity now;
    if (platform::fileIdentity(archive, now) && now == written) return true;
    reportWarning(4126,
                  "The archive %s is no longer the file zip wrote: no message is deleted, the indexes stay as they were",
                  archive.c_str());
    ++messagesKept;
    return false;
}

bool isProven(const IndexEntry& message) {
    auto it = judgements.find(message.fileName);
    return it != judgements.end() && it->second.verdict == Verdict::proven;
}

bool stillAsProven(const IndexEntry& message) {
    auto it = judgements.find(message.fileName);
    if (it == judgements.end()) return false;
    const Judgement& j = it->second;
    platform::FileStatus now;
    if (!platform::fileStatus(message.fileName, now) || now.size != j.size || now.modifyTime != j.modifyTime)
        return false;
    if (!j.readAgain) return true;
    std::uint32_t crc = 0;
    std::int64_t size = 0;
    return fileCrc32(message.fileName, crc, size) && size == j.size && crc == j.crc;
}

void reportKept(const IndexEntry& message) {
    auto it = judgements.find(message.fileName);
    const Verdict verdict = it == judgements.end() ? Verdict::notInArchive : it->second.verdict;
    switch (verdict) {
        case Verdict::proven:
        case Verdict::gone: return;  // nothing left to keep
        case Verdict::notInArchive:
            reportWarning(4120, "Not in the archive, so not deleted: %s", message.fileName);
            return;
        case Verdict::changed: reportChangedBeforeDeletion(message); return;
        case Verdict::damaged:
            reportWarning(4123, "Damaged in the archive, so not deleted: %s", message.fileName);
            break;
        case Verdict::unreadable:
            reportWarning(4124, "Could not be read to compare with the archive, so not deleted: %s", message.fileName);
            break;
    }
    ++messagesKept;
}

void reportChangedBeforeDeletion(const IndexEntry& message) {
    reportWarning(4122, "Changed since it was archived, so not deleted: %s", message.fileName);
    ++messagesKept;
}
