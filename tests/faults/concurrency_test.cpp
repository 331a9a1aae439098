// Two runs at once. A second run that meets the first at any point of its
// run, on the same store or into the same archive, must lose nothing: it is
// refused with its message while the first holds the store, and two stores
// never write one archive over the other.
//
// The meeting points are the archiver's counted file calls (the preloaded
// shim runs the second run at the Nth one, while the first waits), so every
// meeting is repeatable; the stand-in tests meet at zip and at the archive
// test, and run in the sanitized builds too.
#include "fault_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <set>
#include <string>
#include <thread>

using namespace faults;
namespace ts = testing_support;

namespace {

// Every kind of call, reads included, so that the points reach into the scan.
const char* const allCalls = "write,flush,close,sync,rename,unlink,mkdir,read";
const char* const refused = "[1950]: Another run is working on this store";

std::string shellWord(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// A second run as the shim starts it, the first waiting: without the shim,
// in `dir`, its output and status kept in `record`.*.
std::string secondRunCommand(const std::string& dir, const std::vector<std::string>& args, const std::string& record) {
    std::string command = "cd " + shellWord(dir) + " && env -u LD_PRELOAD " + shellWord(ARCHIVER_BIN);
    for (const std::string& a : args) command += " " + shellWord(a);
    command += " </dev/null >" + shellWord(record + ".out") + " 2>" + shellWord(record + ".err") + "; echo $? >" +
               shellWord(record + ".status.tmp") + "; mv " + shellWord(record + ".status.tmp") + " " +
               shellWord(record + ".status");
    return command;
}

struct SecondRun {
    int status = -1;
    std::string out, err;
};

SecondRun readSecondRun(const std::string& record, int waitSeconds) {
    SecondRun r;
    for (int i = 0; i < waitSeconds * 20 && !ts::exists(record + ".status"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!ts::exists(record + ".status")) return r;
    r.status = std::atoi(ts::readFile(record + ".status").c_str());
    r.out = ts::readFile(record + ".out");
    r.err = ts::readFile(record + ".err");
    return r;
}

// The archives a message may have gone to: every zip of the main
// directory, and `extra`.
std::vector<std::string> archivesOf(const FaultStore& store, const std::vector<std::string>& extra) {
    std::vector<std::string> archives = extra;
    for (const std::string& name : ts::listDirectory(store.mainDir()))
        if (ts::endsWith(name, ".zip")) archives.push_back(store.mainDir() + "/" + name);
    return archives;
}

// File names listed by a folder.bag (the last field of each line).
std::set<std::string> listedNames(const std::string& bag) {
    std::set<std::string> names;
    for (std::string line : ts::linesOf(bag)) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (!line.empty() && line.back() == '\xDE') line.pop_back();
        const std::size_t field = line.rfind('\xDE');
        names.insert(field == std::string::npos ? line : line.substr(field + 1));
    }
    return names;
}

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }
std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Nothing lost: every message of `before` is on disk as it was, or in one
// of the archives with the same bytes; and a message still on disk that
// its folder's index listed is listed still.
std::vector<std::string> losses(const FaultStore& store, const Files& before, const std::vector<std::string>& extra) {
    std::vector<std::string> problems;
    const Files now = store.files();
    std::map<std::string, std::set<std::string>> membersOf;
    for (const std::string& archive : archivesOf(store, extra)) {
        if (!ts::exists(archive)) continue;
        for (const std::string& m : ts::zipMembers(archive)) membersOf[archive].insert(m);
    }
    for (const auto& [path, bytes] : before) {
        if (!ts::endsWith(path, ".msg")) continue;
        auto it = now.find(path);
        if (it != now.end()) {
            if (it->second != bytes) problems.push_back("message changed: " + path);
            const auto bag = before.find(folderOf(path) + "/folder.bag");
            const auto bagNow = now.find(folderOf(path) + "/folder.bag");
            if (bag != before.end() && listedNames(bag->second).count(nameOf(path)) &&
                (bagNow == now.end() || !listedNames(bagNow->second).count(nameOf(path))))
                problems.push_back("on disk but no longer listed in its folder.bag: " + path);
            continue;
        }
        const std::string member = path.substr(std::string("velmor/").size());
        bool kept = false;
        for (const auto& [archive, members] : membersOf)
            if (members.count(member) && ts::zipMember(archive, member) == bytes) kept = true;
        if (!kept) problems.push_back("message lost: " + path);
    }
    return problems;
}

// Marks every message of a store as its own, so that the messages of two
// stores with the same names can be told apart in one archive.
void markMessages(const FaultStore& store, const std::string& mark) {
    for (const auto& [path, bytes] : store.files())
        if (ts::endsWith(path, ".msg")) ts::writeFile(store.root() + "/" + path, bytes + mark);
}

long countCalls(const FaultStore& store, const std::vector<std::string>& args) {
    ts::TempDir countDir;
    const std::string countFile = countDir / "count";
    RunResult r = ts::runArchiver(store.mainDir(), args,
                                  jobRun({shimEnv(), "FAULT_COUNT_FILE=" + countFile,
                                          std::string("FAULT_CALLS=") + allCalls}));
    EXPECT_EQ(r.status, 0) << "counting run: " << r.out << r.err;
    return std::atol(ts::readFile(countFile).c_str());
}

struct Pair {
    const char* name;
    Job storeKind;                   // the store both runs work on
    std::vector<std::string> first;  // arguments of each run
    std::vector<std::string> second;
};

class Overlap : public ::testing::TestWithParam<Pair> {
protected:
    void SetUp() override {
        if (!shimAvailable()) GTEST_SKIP() << "sanitized build: a preloaded library would come before the sanitizer";
    }
};

// The second run meets the first at points spread over the whole first
// run: its start, the scan, zip, the archive test, the deletion and the
// index rewrites. Whatever the point, nothing is lost, and from the moment
// the first run holds the store the second is refused and changes nothing.
TEST_P(Overlap, SecondRunOnTheSameStoreLosesNothing) {
    const Pair& pair = GetParam();
    long total = 0;
    {
        FaultStore counting(pair.storeKind);
        total = countCalls(counting, pair.first);
    }
    ASSERT_GT(total, 10);
    long refusals = 0, tried = 0;
    for (long point : choosePoints(total, pointCap(16), 7)) {
        FaultStore store(pair.storeKind);
        const Files before = store.files();
        ts::TempDir records;
        const std::string record = records / "second";
        RunResult first = ts::runArchiver(
            store.mainDir(), pair.first,
            jobRun({shimEnv(), std::string("FAULT_CALLS=") + allCalls, "FAULT_EXEC_AT=" + std::to_string(point),
                    "FAULT_EXEC=" + secondRunCommand(store.mainDir(), pair.second, record)}));
        const SecondRun second = readSecondRun(record, 1);
        const std::string where = std::string(pair.name) + ", second run at call " + std::to_string(point);
        ASSERT_NE(second.status, -1) << where << ": the second run did not run";
        EXPECT_EQ(checkExit(Job::archive, first), "") << where;
        if (second.err.find(refused) != std::string::npos) {
            ++refusals;
            EXPECT_EQ(second.status, 1) << where;
            EXPECT_NE(second.err.find("archiver.lck"), std::string::npos) << where << ": " << second.err;
            EXPECT_NE(second.err.find("started "), std::string::npos) << where << ": " << second.err;
        } else {
            EXPECT_EQ(second.status, 0) << where << ": " << second.out << second.err;
        }
        for (const std::string& problem : losses(store, before, {})) ADD_FAILURE() << where << ": " << problem;
        EXPECT_FALSE(ts::exists(store.mainDir() + "/archiver.lck")) << where;
        EXPECT_FALSE(ts::exists(store.mainDir() + "/archive.tmp")) << where;
        EXPECT_FALSE(ts::exists(store.mainDir() + "/backup.bag")) << where;
        ++tried;
    }
    // Almost the whole run holds the store: the points must have met it.
    EXPECT_GE(refusals, tried - 2);
    recordPoints(std::string("overlap points, ") + pair.name, tried);
}

const Pair pairs[] = {
    {"ArchiveArchive", Job::archive, {"/A", "100", "/N"}, {"/A", "30", "/N"}},
    {"ArchiveReindex", Job::archive, {"/A", "30", "/N"}, {"/I"}},
    {"ArchiveRestore", Job::restore, {"/A", "1", "/N"}, {"/r", "/o", "ARCHIV00.zip"}},
    {"RestoreArchive", Job::restore, {"/r", "/o", "ARCHIV00.zip"}, {"/A", "1", "/N"}},
};

INSTANTIATE_TEST_SUITE_P(Runs, Overlap, ::testing::ValuesIn(pairs),
                         [](const ::testing::TestParamInfo<Pair>& param) { return std::string(param.param.name); });

// Two stores archive into one named archive, the second running at points
// spread over the first run (which waits meanwhile; the two stores share no
// lock, so the second never waits for the first). One of them writes the
// archive; the other finds it there (or claimed) and stops with 2012 before
// it deletes anything. Neither loses a message.
TEST(OverlapNamedArchive, TwoStoresIntoOneArchiveLoseNothing) {
    if (!shimAvailable()) GTEST_SKIP() << "sanitized build: a preloaded library would come before the sanitizer";
    auto argumentsInto = [](const std::string& archive) {
        return std::vector<std::string>{"/A", "30", "/N", "--", archive};
    };
    long total = 0;
    {
        FaultStore counting(Job::archive);
        ts::TempDir countDir;
        total = countCalls(counting, argumentsInto(countDir / "shared.zip"));
    }
    ASSERT_GT(total, 10);
    long tried = 0;
    for (long point : choosePoints(total, pointCap(10), 11)) {
        FaultStore one(Job::archive), other(Job::archive);
        markMessages(other, "other store\n");
        ts::TempDir shared;
        const std::string archive = shared / "shared.zip";
        const std::vector<std::string> args = argumentsInto(archive);
        const Files beforeOne = one.files(), beforeOther = other.files();
        ts::TempDir records;
        const std::string record = records / "second";
        RunResult first = ts::runArchiver(
            one.mainDir(), args,
            jobRun({shimEnv(), std::string("FAULT_CALLS=") + allCalls, "FAULT_EXEC_AT=" + std::to_string(point),
                    "FAULT_EXEC=" + secondRunCommand(other.mainDir(), args, record)}));
        const SecondRun second = readSecondRun(record, 1);
        const std::string where = "second store at call " + std::to_string(point);
        ASSERT_NE(second.status, -1) << where << ": the second run did not run";
        // Exactly one of them wrote the archive.
        const bool firstWrote = first.status == 0, secondWrote = second.status == 0;
        EXPECT_NE(firstWrote, secondWrote) << where << ": " << first.err << " / " << second.err;
        for (const std::string& err : {first.err, second.err}) {
            if (!err.empty()) {
                EXPECT_NE(err.find("[2012]: Archive file already exists!"), std::string::npos) << where << ": " << err;
            }
        }
        for (const std::string& problem : losses(one, beforeOne, {archive})) ADD_FAILURE() << where << ", first store: " << problem;
        for (const std::string& problem : losses(other, beforeOther, {archive})) ADD_FAILURE() << where << ", second store: " << problem;
        ++tried;
    }
    recordPoints("overlap points, two stores into one archive", tried);
}

// kill -9 while the run holds the store: the lock file stays, but the lock
// went with the process, and the next run takes the store at once.
TEST(StoreLock, ARunKilledHoldingTheLockDoesNotBlockTheNext) {
    if (!shimAvailable()) GTEST_SKIP() << "sanitized build: a preloaded library would come before the sanitizer";
    const long total = countedCalls(Job::archive);
    ASSERT_GT(total, 10);
    FaultStore store(Job::archive);
    RunResult killed = runJob(store, jobRun({shimEnv(), "FAULT_SIGNAL_AT=" + std::to_string(total / 2),
                                             "FAULT_SIGNAL=9"}));
    ASSERT_EQ(killed.status, 128 + SIGKILL);
    ASSERT_TRUE(ts::exists(store.mainDir() + "/archiver.lck"));
    RunResult next = ts::runArchiver(store.mainDir(), {"/I"}, jobRun());
    EXPECT_EQ(next.status, 0) << next.out << next.err;
    EXPECT_EQ(next.err.find("[1950]"), std::string::npos);
    EXPECT_FALSE(ts::exists(store.mainDir() + "/archiver.lck"));
}

// The meetings at zip and at the archive test through stand-ins that run
// the second run and then the real program; no preloaded library, so these
// run in the sanitized builds too.
class StandInMeeting : public ::testing::Test {
protected:
    void standIn(const std::string& name, const std::string& body) { writeStandInScript(bin.path(), name, body); }
    ts::TempDir bin, records;
};

TEST_F(StandInMeeting, SecondRunWhileZipWorksIsRefusedAndChangesNothing) {
    FaultStore store(Job::archive);
    const Files before = store.files();
    const std::string record = records / "second";
    standIn("zip", secondRunCommand(store.mainDir(), {"/I"}, record) + "\nexec \"$real\" \"$@\"\n");
    RunResult first = runWithStandIns(store, bin.path());
    EXPECT_EQ(first.status, 0) << first.out << first.err;
    const SecondRun second = readSecondRun(record, 1);
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find(refused), std::string::npos) << second.err;
    // The refused run removed nothing of the first's: backup.bag went into
    // the archive.
    EXPECT_NE(ts::zipMembers(store.archive()).size(), 0u);
    const std::vector<std::string> members = ts::zipMembers(store.archive());
    EXPECT_NE(std::find(members.begin(), members.end(), "backup.bag"), members.end());
    for (const std::string& problem : losses(store, before, {})) ADD_FAILURE() << problem;
    for (const std::string& problem : checkTree(store, first, Ending::handled)) ADD_FAILURE() << problem;
}

// The archive replaced by a copy of itself while it is tested: the proof
// held for a file that is no longer the one zip wrote, so nothing goes.
TEST_F(StandInMeeting, ArchiveReplacedDuringItsTestDeletesNothing) {
    FaultStore store(Job::archive);
    const Files before = store.files();
    standIn("unzip",
            "case \"$1\" in -t*) archive=\"$3\"; [ \"$2\" = -W ] || archive=\"$2\"\n"
            "  cp \"$archive\" \"$archive.copy\" && mv -f \"$archive.copy\" \"$archive\";;\nesac\n"
            "exec \"$real\" \"$@\"\n");
    RunResult run = runWithStandIns(store, bin.path());
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("[4126]: The archive"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("is no longer the file zip wrote: no message is deleted"), std::string::npos) << run.err;
    const Files now = store.files();
    for (const auto& [path, bytes] : before) {
        if (!ts::endsWith(path, ".msg") && !ts::endsWith(path, "folder.bag")) continue;
        auto it = now.find(path);
        EXPECT_TRUE(it != now.end() && it->second == bytes) << path << " changed or gone";
    }
}

}  // namespace
