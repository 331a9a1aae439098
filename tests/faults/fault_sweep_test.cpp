// Each job stopped or broken at many points of its run: killed outright
// (kill -9), interrupted (SIGINT, SIGTERM), or with a disk that fills up or
// a write that fails. The points are the file calls of the archiver,
// counted by the preloaded shim, so that every run is repeatable; the
// interrupts at delays also run in the sanitized build.
#include "fault_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <string>
#include <vector>

using namespace faults;

namespace {

const Job allJobs[] = {Job::archive, Job::reindex, Job::restore, Job::restoreOriginal, Job::sort};

std::string describe(Job job, const std::string& what, long point) {
    return std::string(jobName(job)) + ", " + what + " at call " + std::to_string(point);
}

void expectSound(const FaultStore& store, const RunResult& run, Ending ending, const std::string& where,
                 bool partialExtractMayStay = false) {
    for (const std::string& problem : checkTree(store, run, ending, false, partialExtractMayStay))
        ADD_FAILURE() << where << ": " << problem;
}

class Sweep : public ::testing::TestWithParam<Job> {
protected:
    void SetUp() override {
        if (!shimAvailable()) GTEST_SKIP() << "sanitized build: a preloaded library would come before the sanitizer";
    }
    Job job() const { return GetParam(); }
};

std::string paramName(const ::testing::TestParamInfo<Job>& info) {
    switch (info.param) {
        case Job::archive: return "Archive";
        case Job::reindex: return "Reindex";
        case Job::restore: return "Restore";
        case Job::restoreOriginal: return "RestoreOriginal";
        case Job::sort: return "Sort";
    }
    return "Job";
}

// kill -9 on the Nth file call: no handler runs. Whatever the point, no
// message is lost and every index is whole.
TEST_P(Sweep, KillAtEveryCallLosesNothing) {
    const long total = countedCalls(job());
    ASSERT_GT(total, 3) << "the shim saw too few calls to sweep";
    long tried = 0;
    for (long point : choosePoints(total, pointCap(120), 1)) {
        FaultStore store(job());
        RunResult run = runJob(store, jobRun({shimEnv(), "FAULT_SIGNAL_AT=" + std::to_string(point),
                                              "FAULT_SIGNAL=9"}));
        const std::string where = describe(job(), "kill -9", point);
        EXPECT_EQ(run.status, 128 + SIGKILL) << where << ": the kill point was not reached " << run.err;
        expectSound(store, run, Ending::killed, where);
        ++tried;
    }
    recordPoints(std::string("kill -9 points, ") + jobName(job()), tried);
}

// SIGINT and SIGTERM on the Nth file call: the handler ends the run with
// its numbered message and removes the list file and backup.bag.
TEST_P(Sweep, InterruptAtEveryCallLosesNothing) {
    const long total = countedCalls(job());
    ASSERT_GT(total, 3);
    long tried = 0;
    for (long point : choosePoints(total, pointCap(60), 2)) {
        const int sig = point % 2 ? SIGINT : SIGTERM;
        FaultStore store(job());
        RunResult run = runJob(store, jobRun({shimEnv(), "FAULT_SIGNAL_AT=" + std::to_string(point),
                                              "FAULT_SIGNAL=" + std::to_string(sig)}));
        const std::string where = describe(job(), sig == SIGINT ? "SIGINT" : "SIGTERM", point);
        EXPECT_EQ(run.status, 1) << where;
        EXPECT_NE(run.err.find("[4858]: \n\n*** Program interrupted by user ***"), std::string::npos) << where << run.err;
        expectSound(store, run, Ending::handled, where);
        ++tried;
    }
    recordPoints(std::string("interrupt points, ") + jobName(job()), tried);
}

// The disk fills up: from the Nth call on, every write, flush, close, sync
// and rename fails with ENOSPC. The run says so (or had nothing more to
// write) and the store is as before or as after.
TEST_P(Sweep, DiskFullFromEveryCallLosesNothing) {
    const std::string kinds = "write,flush,close,sync,rename";
    const long total = countedCalls(job(), kinds);
    ASSERT_GT(total, 3);
    long tried = 0;
    for (long point : choosePoints(total, pointCap(60), 3)) {
        FaultStore store(job());
        RunResult run = runJob(store, jobRun({shimEnv(), "FAULT_CALLS=" + kinds,
                                              "FAULT_AFTER=" + std::to_string(point - 1), "FAULT_ERRNO=ENOSPC"}));
        const std::string where = describe(job(), "disk full", point);
        const std::string exitProblem = checkExit(job(), run);
        EXPECT_EQ(exitProblem, "") << where;
        expectSound(store, run, Ending::handled, where);
        ++tried;
    }
    recordPoints(std::string("disk-full points, ") + jobName(job()), tried);
}

// One call fails with EIO, any kind but a deletion (a file the system
// refuses to delete stays, by nature); the calls after it work again.
TEST_P(Sweep, SingleFailedCallLosesNothing) {
    const std::string kinds = "write,flush,close,sync,rename,mkdir";
    const long total = countedCalls(job(), kinds);
    ASSERT_GT(total, 3);
    long tried = 0;
    for (long point : choosePoints(total, pointCap(60), 4)) {
        FaultStore store(job());
        RunResult run = runJob(store, jobRun({shimEnv(), "FAULT_CALLS=" + kinds,
                                              "FAULT_AFTER=" + std::to_string(point - 1), "FAULT_ONLY=1",
                                              "FAULT_ERRNO=EIO"}));
        const std::string where = describe(job(), "EIO", point);
        EXPECT_EQ(checkExit(job(), run), "") << where;
        expectSound(store, run, Ending::handled, where);
        ++tried;
    }
    recordPoints(std::string("single-failure points, ") + jobName(job()), tried);
}

// A read that fails part way (EIO) must not pass for the end of a file: a
// shortened index written back would lose lines.
TEST_P(Sweep, FailedReadLosesNothing) {
    // A message file that cannot be read is, by design, no message to the
    // reindex: its index line goes. Only the other jobs are held to this.
    if (job() == Job::reindex) GTEST_SKIP() << "an unreadable message loses its line in a reindex";
    long tried = 0;
    // Once as the reading threads find the files, and once with every read
    // of theirs failing (uncounted), so that the main thread reads each
    // message itself and the failing read can be any of them.
    for (const std::string& threadReads : {std::string(), std::string("FAULT_THREAD_READS=fail")}) {
        const std::vector<std::string> extra = threadReads.empty() ? std::vector<std::string>{}
                                                                   : std::vector<std::string>{threadReads};
        const long total = countedCalls(job(), "read", extra);
        ASSERT_GT(total, 0);
        for (long point : choosePoints(total, pointCap(40), 5)) {
            FaultStore store(job());
            std::vector<std::string> env = {shimEnv(), "FAULT_CALLS=read", "FAULT_AFTER=" + std::to_string(point - 1),
                                            "FAULT_ONLY=1", "FAULT_ERRNO=EIO"};
            env.insert(env.end(), extra.begin(), extra.end());
            RunResult run = runJob(store, jobRun(env));
            const std::string where =
                describe(job(), threadReads.empty() ? "read error" : "read error (threads failing)", point);
            EXPECT_EQ(checkExit(job(), run), "") << where;
            expectSound(store, run, Ending::handled, where);
            // A restore reads nothing but backup.bag: a run that reads only a
            // part of it and still ends with 0 has restored less than it says.
            // A failed read of unzip's help text ends the job before it starts,
            // saying so, with 0: that run restores nothing and claims nothing.
            const bool refusedUnzip =
                run.out.find("Unable to read output file from zip/unzip for version check.") != std::string::npos;
            if (run.status == 0 && !refusedUnzip && (job() == Job::restore || job() == Job::restoreOriginal)) {
                const Files& after = referenceFor(job()).after;
                const Files now = store.files();
                for (const auto& [path, bytes] : after) {
                    if (path.find("folder.bag") == std::string::npos) continue;
                    auto it = now.find(path);
                    EXPECT_TRUE(it != now.end() && it->second == bytes) << where << ": " << path << " not fully restored";
                }
            }
            ++tried;
        }
    }
    recordPoints(std::string("read-failure points, ") + jobName(job()), tried);
}

// Every read of the reading threads fails: the main thread reads each file
// itself, and the run makes exactly what a clean run makes.
TEST(ReadingThreads, FailingEveryReadOfTheReadingThreadsChangesNothing) {
    if (!shimAvailable()) GTEST_SKIP() << "sanitized build: a preloaded library would come before the sanitizer";
    for (Job job : {Job::archive, Job::reindex}) {
        FaultStore store(job);
        RunResult run = runJob(store, jobRun({shimEnv(), "FAULT_THREAD_READS=fail", "FAULT_ERRNO=EIO"}));
        EXPECT_EQ(run.status, 0) << jobName(job) << ": " << run.out << run.err;
        const Files now = store.files();
        const Files& after = referenceFor(job).after;
        for (const auto& [path, bytes] : after) {
            if (path.find("folder.bag") == std::string::npos && path.find(".msg") == std::string::npos) continue;
            auto it = now.find(path);
            EXPECT_TRUE(it != now.end() && it->second == bytes) << jobName(job) << ": " << path;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, Sweep, ::testing::ValuesIn(allJobs), paramName);

// The points of a run are numbered by the main thread's calls alone, so
// that the same run has the same points in the same order every time,
// however far the reading threads get meanwhile. Three folders of 200
// messages give them room to run ahead.
TEST(Numbering, TheSameRunHasTheSamePointsEveryTime) {
    if (!shimAvailable()) GTEST_SKIP() << "sanitized build: a preloaded library would come before the sanitizer";
    std::string first;
    for (int attempt = 0; attempt < 6; ++attempt) {
        testing_support::TempDir dir;
        testing_support::StoreBuilder store(dir / "velmor");
        store.account("a.act", "A");
        for (const char* folder : {"a.act/one.fld", "a.act/two.fld", "a.act/three.fld"}) {
            store.folder(folder, "F");
            for (int i = 1; i <= 200; ++i)
                store.message(std::string(folder) + "/" + std::to_string(i) + ".msg",
                              testing_support::messageHeaders("s" + std::to_string(i), "a@x", "b@x"));
        }
        RunResult run = testing_support::runArchiver(
            store.mainDir(), {"/I"},
            jobRun({shimEnv(), "FAULT_CALLS=write,flush,close,sync,rename,unlink,mkdir,read",
                    "FAULT_TRACE_FILE=" + dir / "trace", "FAULT_COUNT_FILE=" + dir / "count"}));
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        const std::string trace = testing_support::readFile(dir / "trace");
        ASSERT_EQ(std::to_string(trace.size()) + "\n", testing_support::readFile(dir / "count"));
        ASSERT_GT(trace.size(), 600u);  // at least the header reads
        if (attempt == 0) {
            first = trace;
            continue;
        }
        const auto differ = std::mismatch(first.begin(), first.end(), trace.begin(), trace.end());
        EXPECT_TRUE(trace == first) << "run " << attempt << ": " << trace.size() << " points against " << first.size()
                                << ", first difference at point " << (differ.first - first.begin()) + 1;
    }
}

// Interrupts from outside at seeded delays within a clean run's length,
// sent to the whole process group as a terminal would; these need no shim.
class DelayedInterrupt : public ::testing::TestWithParam<Job> {};

TEST_P(DelayedInterrupt, InterruptAtRandomMomentsLosesNothing) {
    const Job job = GetParam();
    long cleanMs;
    {
        FaultStore store(job);
        timespec a {}, b {};
        clock_gettime(CLOCK_MONOTONIC, &a);
        RunResult run = runJob(store);
        clock_gettime(CLOCK_MONOTONIC, &b);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        cleanMs = (b.tv_sec - a.tv_sec) * 1000L + (b.tv_nsec - a.tv_nsec) / 1000000L + 1;
    }
    const long points = pointCap(12);
    unsigned state = 12345u + static_cast<unsigned>(job);
    long interrupted = 0;
    for (long i = 0; i < points; ++i) {
        state = state * 1103515245u + 12345u;
        const int delay = static_cast<int>((state >> 8) % static_cast<unsigned>(cleanMs));
        const int sig = i % 2 ? SIGTERM : SIGINT;
        FaultStore store(job);
        RunOptions options = jobRun();
        options.signalAfterMs = delay;
        options.signal = sig;
        RunResult run = runJob(store, options);
        const std::string where = std::string(jobName(job)) + ", signal " + std::to_string(sig) + " after " +
                                  std::to_string(delay) + " ms";
        // Before the handler is installed the signal ends the run at once,
        // before it has touched anything.
        EXPECT_TRUE(run.status == 0 || run.status == 1 || run.status == 128 + sig)
            << where << ": status " << run.status << run.err;
        if (run.status == 1) ++interrupted;
        // The signal reaches unzip too, which may stop half way through
        // a message it extracts (before the restore indexes it).
        expectSound(store, run, Ending::handled, where, job == Job::restore || job == Job::restoreOriginal);
    }
    recordPoints(std::string("delayed interrupts, ") + jobName(job), points);
    recordPoints(std::string("delayed interrupts that stopped the run, ") + jobName(job), interrupted);
}

INSTANTIATE_TEST_SUITE_P(Jobs, DelayedInterrupt, ::testing::ValuesIn(allJobs), paramName);

}  // namespace
