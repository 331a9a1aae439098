#include "fault_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

namespace ts = testing_support;

namespace faults {

namespace {

std::string bagLine(const std::string& v, const std::string& subject, const std::string& from,
                    const std::string& file) {
    return ts::messageIndexLine(subject, from, from, file, v, v, "bob@x");
}

void message(ts::StoreBuilder& s, const std::string& path, const std::string& subject, long ageDays) {
    s.message(path, ts::messageHeaders(subject, "ann@x", "bob@x"), "Body of " + path + "\n" + std::string(300, 'x') + "\n")
        .age(path, ageDays);
}

// Three accounts' worth of folders: nested ones, one without an index, an
// index with a line whose file is gone and messages it does not know.
void buildTree(const std::string& root) {
    ts::StoreBuilder s(root + "/velmor");
    s.account("work.act", "Work").account("home.act", "Home");
    s.folder("work.act/inbox.fld", "Inbox").folder("work.act/inbox.fld/old.fld", "Old");
    s.folder("work.act/sent.fld", "Sent").folder("home.act/family.fld", "Family");
    message(s, "work.act/inbox.fld/1.msg", "Invoice", 400);
    message(s, "work.act/inbox.fld/2.msg", "Lunch", 1);
    message(s, "work.act/inbox.fld/3.msg", "Unindexed", 400);
    message(s, "work.act/inbox.fld/11.msg", "More", 400);
    message(s, "work.act/inbox.fld/old.fld/5.msg", "Old news", 400);
    message(s, "work.act/inbox.fld/old.fld/6.msg", "Older news", 500);
    message(s, "work.act/sent.fld/7.msg", "Sent one", 400);
    message(s, "work.act/sent.fld/8.msg", "Sent two", 2);
    message(s, "home.act/family.fld/4.msg", "Photos", 400);
    message(s, "home.act/family.fld/10.msg", "Trip", 400);
    message(s, "home.act/family.fld/12.msg", "Recent", 3);
    s.file("work.act/inbox.fld/folder.bag", bagLine("7", "Invoice", "ann@x", "1.msg") +
                                                bagLine("3", "Lunch", "ann@x", "2.msg") +
                                                bagLine("5", "Gone", "ann@x", "9.msg") +
                                                bagLine("2", "More", "ann@x", "11.msg"));
    s.file("work.act/inbox.fld/old.fld/folder.bag", bagLine("2", "Old news", "ann@x", "5.msg"));
    s.file("home.act/family.fld/folder.bag", bagLine("4", "Photos", "ann@x", "4.msg") +
                                                 bagLine("6", "Trip", "ann@x", "10.msg") +
                                                 bagLine("1", "Recent", "ann@x", "12.msg"));
    std::string book;
    const char* names[] = {"Kim", "Al", "Zed", "Bo", "Max", "Eve", "Lu", "Cy", "Jo", "Ida", "Ned", "Flo"};
    int i = 0;
    for (const char* n : names) book += ts::addressRecord({std::string(n) + "@x", "alias" + std::to_string(i++ * 7 % 12), n});
    ts::writeFile(root + "/tools/addr.db", book);
}

std::string lastComponent(const std::string& p) {
    auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

bool isRestore(Job job) { return job == Job::restore || job == Job::restoreOriginal; }


// The file name field of an index line: the last one.
std::string fileOf(const std::string& line) {
    std::size_t last = line.rfind('\xDE');
    if (last == std::string::npos || last == 0) return "";
    std::size_t previous = line.rfind('\xDE', last - 1);
    return line.substr(previous == std::string::npos ? 0 : previous + 1, last - previous - 1);
}

// True when `now` is `from` with some lines left out, each for which
// `mayGo` holds, and only whole lines.
template <typename Pred>
bool isThinnedOut(const std::string& now, const std::string& from, Pred mayGo) {
    if (!now.empty() && now.back() != '\n') return false;
    std::vector<std::string> kept = testing_support::linesOf(now), all = testing_support::linesOf(from);
    std::size_t k = 0;
    for (const std::string& line : all) {
        if (k < kept.size() && kept[k] == line) ++k;
        else if (!mayGo(line)) return false;
    }
    return k == kept.size();
}

// A temporary the program writes beside a file before it publishes it, a
// restore's staging folder with what it holds, or the list and index files
// of the main directory, which only a handler that never ran would have
// removed.
bool mayStayAfterKill(const std::string& path) {
    const std::string name = lastComponent(path);
    // The store's lock file: a killed run cannot remove it, and the next run
    // takes it over (the lock itself went with the process).
    if (path == "velmor/archive.tmp" || path == "velmor/backup.bag" || path == "velmor/archiver.lck") return true;
    if (path.find("/.archiver-") != std::string::npos) return true;
    for (const char* base : {".folder.bag.", ".folder.ini.", ".addr.db.", ".addr-bak.db."})
        if (name.compare(0, std::strlen(base), base) == 0) return true;
    return false;
}

std::mutex cacheLock;

}  // namespace

const char* jobName(Job job) {
    switch (job) {
        case Job::archive: return "archive";
        case Job::reindex: return "reindex";
        case Job::restore: return "restore";
        case Job::restoreOriginal: return "restore/o";
        case Job::sort: return "sort";
    }
    return "?";
}

std::vector<std::string> jobArguments(Job job) {
    switch (job) {
        case Job::archive: return {"/A", "30", "/N"};
        case Job::reindex: return {"/I"};
        case Job::restore: return {"/r", "ARCHIV00.zip"};
        case Job::restoreOriginal: return {"/r", "/o", "ARCHIV00.zip"};
        case Job::sort: return {"/i", "name"};
    }
    return {};
}

RunOptions jobRun(std::vector<std::string> env) {
    RunOptions options;
    options.env = std::move(env);
    options.ownProcessGroup = true;
    options.timeoutSeconds = 60;
    return options;
}

RunResult runWithStandIns(const FaultStore& store, const std::string& bin, int signalAfterMs, int sig) {
    RunOptions options = jobRun();
    options.pathPrefix = bin;
    options.signalAfterMs = signalAfterMs;
    options.signal = sig;
    options.timeoutSeconds = 30;
    return runJob(store, options);
}

RunResult runJob(const FaultStore& store, const RunOptions& options) {
    return ts::runArchiver(store.mainDir(), jobArguments(store.job()), options);
}

FaultStore::FaultStore(Job job) : job_(job) {
    buildTree(root());
    if (isRestore(job)) {
        // The tree a restore starts from: the old messages archived and
        // deleted by a clean archive run.
        RunResult r = ts::runArchiver(mainDir(), jobArguments(Job::archive), jobRun());
        if (r.status != 0) ADD_FAILURE() << "archive run for the restore tree failed: " << r.out << r.err;
    }
}

const Reference& referenceFor(Job job) {
    static std::map<Job, std::unique_ptr<Reference>> cache;
    std::lock_guard<std::mutex> hold(cacheLock);
    auto& slot = cache[job];
    if (!slot) {
        slot = std::make_unique<Reference>();
        FaultStore tree(job);
        slot->before = tree.files();
        RunResult r = runJob(tree);
        if (r.status != 0) ADD_FAILURE() << jobName(job) << " reference run failed: " << r.out << r.err;
        slot->after = tree.files();
        if (ts::exists(tree.archive())) slot->archiveMembers = ts::zipMembers(tree.archive());
    }
    return *slot;
}

std::vector<std::string> checkTree(const FaultStore& store, const RunResult& run, Ending ending, bool listFileMayStay,
                                   bool partialExtractMayStay) {
    std::vector<std::string> problems;
    const Reference& ref = referenceFor(store.job());
    const Files now = store.files();
    const Files& before = ref.before;
    const Files& after = ref.after;
    const std::string zipPath = "velmor/ARCHIV00.zip";

    std::set<std::string> members;
    bool archiveListed = false;
    auto archivedBytes = [&](const std::string& p) -> std::pair<bool, std::string> {
        if (!archiveListed) {
            archiveListed = true;
            if (now.count(zipPath))
                for (auto& m : ts::zipMembers(store.archive())) members.insert(m);
        }
        std::string member = p.substr(std::strlen("velmor/"));
        if (!members.count(member)) return {false, ""};
        return {true, ts::zipMember(store.archive(), member)};
    };

    std::set<std::string> paths;
    for (auto* files : {&before, &after, &now})
        for (auto& [p, bytes] : *files) paths.insert(p);

    for (const std::string& p : paths) {
        const bool inBefore = before.count(p) != 0, inAfter = after.count(p) != 0, inNow = now.count(p) != 0;
        const std::string name = lastComponent(p);
        const std::string* was = inBefore ? &before.at(p) : nullptr;
        const std::string* will = inAfter ? &after.at(p) : nullptr;
        const std::string* is = inNow ? &now.at(p) : nullptr;

        if (ts::endsWith(p, "/")) {
            if (inNow && !inBefore && !inAfter && !(ending == Ending::killed && mayStayAfterKill(p)))
                problems.push_back("unexpected directory " + p);
            if (!inNow && inBefore) problems.push_back("directory gone: " + p);
            continue;
        }
        if (inNow && !inBefore && !inAfter) {
            bool allowed = (ending == Ending::killed && mayStayAfterKill(p)) ||
                           (listFileMayStay && p == "velmor/archive.tmp");
            if (!allowed) problems.push_back("left behind: " + p);
            continue;
        }
        if (ts::endsWith(name, ".msg")) {
            if (inBefore) {
                if (inNow) {
                    if (*is != *was) problems.push_back("message changed: " + p);
                } else {
                    auto [listed, bytes] = archivedBytes(p);
                    if (!listed) problems.push_back("message lost (not in the archive): " + p);
                    else if (bytes != *was) problems.push_back("message in the archive differs: " + p);
                }
            } else if (inNow && *is != *will && !partialExtractMayStay) {
                problems.push_back("restored message differs: " + p);
            }
            continue;
        }
        if (name == "folder.bag" || name == "addr.db" || name == "addr-bak.db") {
            bool ok = false;
            if (!inNow) ok = (!inBefore || !inAfter) && name != "addr.db";
            else if (inBefore && *is == *was) ok = true;
            else if (inAfter && *is == *will) ok = true;
            else if (isRestore(store.job()) && inAfter && name == "folder.bag") {
                // The old index, then some of the lines the restore adds, in
                // their order: a line that could not be added is missing, its
                // message restored all the same.
                const std::string old = inBefore ? *was : std::string();
                ok = is->compare(0, old.size(), old) == 0 &&
                     isThinnedOut(is->substr(old.size()), will->substr(std::min(old.size(), will->size())),
                                  [](const std::string&) { return true; });
            } else if (store.job() == Job::archive && inBefore && name == "folder.bag") {
                // The old index without the lines of messages that the
                // archive holds (or that were already gone).
                const std::string folder = p.substr(std::strlen("velmor/"), p.size() - std::strlen("velmor/") -
                                                                                 std::strlen("folder.bag"));
                ok = isThinnedOut(*is, *was, [&](const std::string& line) {
                    const std::string msg = "velmor/" + folder + fileOf(line);
                    return !before.count(msg) || archivedBytes(msg).first;
                });
            }
            if (!ok) problems.push_back((inNow ? "index torn or wrong: " : "index missing: ") + p);
            continue;
        }
        if (p == zipPath) {
            // Each tree has an archive of its own (its bytes hold times):
            // the restore job must leave it in place.
            if (inBefore && !inNow) problems.push_back("archive gone: " + p);
            continue;
        }
        if (inBefore && (!inNow || *is != *was)) problems.push_back("file changed or gone: " + p);
        if (!inBefore && inNow && *is != *will && !partialExtractMayStay) problems.push_back("new file differs: " + p);
    }
    if (problems.empty()) return problems;
    problems.push_back("(run status " + std::to_string(run.status) + ", out: " + run.out + ", err: " + run.err + ")");
    return problems;
}

std::string checkExit(Job job, const RunResult& run) {
    if (run.status == 0) return "";
    if (run.status != 1) return "exit status " + std::to_string(run.status) + ": " + run.err;
    if (job == Job::sort && run.err.empty()) return "";
    // zip or unzip may have said something first.
    for (std::size_t at = run.err.find('['); at != std::string::npos; at = run.err.find('[', at + 1)) {
        std::size_t close = run.err.find("]: ", at);
        if (close != std::string::npos && close > at + 1 &&
            run.err.find_first_not_of("0123456789", at + 1) == close)
            return "";
    }
    // The restore job asks whether to go on after a message it could not
    // extract; at end of input it stops there, after saying so.
    if (isRestore(job) && run.out.find("Error unarchiving file ") != std::string::npos) return "";
    return "exit status 1 without a numbered message: out=" + run.out + " err=" + run.err;
}

bool shimAvailable() {
#ifdef FAULT_SHIM
    return true;
#else
    return false;
#endif
}

std::string shimEnv() {
#ifdef FAULT_SHIM
    return std::string("LD_PRELOAD=") + FAULT_SHIM;
#else
    return "";
#endif
}

long countedCalls(Job job, const std::string& kinds, const std::vector<std::string>& extraEnv) {
    if (!shimAvailable()) return 0;
    static std::map<std::pair<Job, std::string>, long> cache;
    std::string key = kinds;
    for (const std::string& e : extraEnv) key += "\n" + e;
    {
        std::lock_guard<std::mutex> hold(cacheLock);
        auto it = cache.find({job, key});
        if (it != cache.end()) return it->second;
    }
    FaultStore tree(job);
    ts::TempDir countDir;
    const std::string countFile = countDir / "count";
    std::vector<std::string> env = {shimEnv(), "FAULT_COUNT_FILE=" + countFile, "FAULT_CALLS=" + kinds};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    RunResult r = runJob(tree, jobRun(env));
    long n = std::atol(ts::readFile(countFile).c_str());
    if (r.status != 0) ADD_FAILURE() << "counting run failed: " << r.out << r.err;
    std::lock_guard<std::mutex> hold(cacheLock);
    cache[{job, key}] = n;
    return n;
}

void writeStandInScript(const std::string& bin, const std::string& name, const std::string& body) {
    const std::string real = ts::findProgram(name);
    ASSERT_FALSE(real.empty()) << name << " is not installed";
    ts::writeScript(bin, name, "real='" + real + "'\nif [ \"$1\" = -h ]; then exec \"$real\" -h; fi\n" + body);
}

long pointCap(long fallback) {
    const char* v = std::getenv("FAULT_POINTS");
    long n = v ? std::atol(v) : 0;
    return n > 0 ? n : fallback;
}

std::vector<long> choosePoints(long total, long cap, unsigned seed) {
    std::vector<long> points;
    if (total <= 0) return points;
    if (total <= cap) {
        for (long n = 1; n <= total; ++n) points.push_back(n);
        return points;
    }
    // Evenly spread, each shifted within its stretch by a seeded amount, so
    // that a different seed tries different calls and the run repeats.
    unsigned state = seed * 2654435761u + 1;
    for (long i = 0; i < cap; ++i) {
        long low = 1 + i * total / cap, high = (i + 1) * total / cap;
        state = state * 1103515245u + 12345u;
        long span = high >= low ? high - low + 1 : 1;
        points.push_back(low + static_cast<long>((state >> 8) % static_cast<unsigned>(span)));
    }
    return points;
}

void recordPoints(const std::string& what, long tried) {
    std::printf("[ figures  ] %s: %ld\n", what.c_str(), tried);
    if (const char* file = std::getenv("FAULT_FIGURES_FILE")) {
        if (std::FILE* f = std::fopen(file, "a")) {
            std::fprintf(f, "%s: %ld\n", what.c_str(), tried);
            std::fclose(f);
        }
    }
}

}  // namespace faults
