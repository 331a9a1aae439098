// zip and unzip replaced on PATH by stand-ins that fail with each exit
// status, that succeed but leave members out, and that hang until the run
// is interrupted. The real programs do the rest of the work.
#include "fault_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

using namespace faults;
namespace ts = testing_support;

namespace {

const int failingStatuses[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                               50, 80, 126, 127, 128, 130, 137, 143, 255};

class StandIn : public ::testing::Test {
protected:
    // A stand-in for `name` whose version check is the real program's.
    void standIn(const std::string& name, const std::string& body) { writeStandInScript(bin.path(), name, body); }
    RunResult runWithStandIns(const FaultStore& store, int signalAfterMs = -1, int sig = 0) {
        return faults::runWithStandIns(store, bin.path(), signalAfterMs, sig);
    }
    void expectSound(const FaultStore& store, const RunResult& run, const std::string& where) {
        for (const std::string& problem : checkTree(store, run, Ending::handled)) ADD_FAILURE() << where << ": " << problem;
    }
    // Nothing of the store changed: every message and index as it was.
    void expectUntouched(const FaultStore& store, const Files& before, const std::string& where) {
        Files now = store.files();
        for (const auto& [path, bytes] : before) {
            if (path.find(".msg") == std::string::npos && path.find("folder.bag") == std::string::npos) continue;
            auto it = now.find(path);
            EXPECT_TRUE(it != now.end() && it->second == bytes) << where << ": " << path << " changed or gone";
        }
    }
    ts::TempDir bin;
};

TEST_F(StandIn, ZipFailingWithAnyStatusDeletesNothingAndSaysSo) {
    for (int status : failingStatuses) {
        standIn("zip", "cat > /dev/null\nexit " + std::to_string(status) + "\n");
        FaultStore store(Job::archive);
        const Files before = store.files();
        RunResult run = runWithStandIns(store);
        const std::string where = "zip exits " + std::to_string(status);
        EXPECT_EQ(run.status, 1) << where;
        EXPECT_EQ(run.err, "[4087]: Zip ended with status " + std::to_string(status) +
                               ": the archive may be incomplete, nothing was deleted")
            << where;
        expectUntouched(store, before, where);
        expectSound(store, run, where);
    }
    recordPoints("zip exit statuses", sizeof failingStatuses / sizeof failingStatuses[0]);
}

TEST_F(StandIn, ArchiveThatCannotBeListedDeletesNothing) {
    for (int status : failingStatuses) {
        standIn("unzip", "if [ \"$1\" = -v ]; then exit " + std::to_string(status) + "; fi\nexec \"$real\" \"$@\"\n");
        FaultStore store(Job::archive);
        const Files before = store.files();
        RunResult run = runWithStandIns(store);
        const std::string where = "unzip -v exits " + std::to_string(status);
        EXPECT_EQ(run.status, 0) << where;
        EXPECT_NE(run.err.find("[4121]: Cannot list the archive "), std::string::npos) << where << run.err;
        expectUntouched(store, before, where);
        expectSound(store, run, where);
    }
}

// zip says it succeeded but the archive lacks a message: that message and
// its index line stay, the others go.
TEST_F(StandIn, MessageLeftOutOfTheArchiveStays) {
    const char* oldMessages[] = {"work.act/inbox.fld/1.msg", "work.act/inbox.fld/3.msg", "work.act/inbox.fld/11.msg",
                                 "work.act/inbox.fld/old.fld/5.msg", "work.act/sent.fld/7.msg",
                                 "home.act/family.fld/4.msg"};
    for (const char* left : oldMessages) {
        standIn("zip", "for a; do last=\"$a\"; done\n\"$real\" \"$@\" || exit $?\n"
                       "\"$real\" -q -d \"$last\" '" + std::string(left) + "' > /dev/null\n");
        FaultStore store(Job::archive);
        RunResult run = runWithStandIns(store);
        const std::string where = std::string("zip leaves out ") + left;
        EXPECT_EQ(run.status, 0) << where << run.err;
        EXPECT_EQ(run.err, std::string("[4120]: Not in the archive, so not deleted: ./") + left + "\n") << where;
        EXPECT_TRUE(ts::exists(store.mainDir() + "/" + left)) << where;
        EXPECT_FALSE(ts::exists(store.mainDir() + "/work.act/inbox.fld/old.fld/6.msg")) << where;
        expectSound(store, run, where);
    }
}

TEST_F(StandIn, ZipSucceedingWithoutAWholeArchiveDeletesNothing) {
    const struct {
        const char* what;
        std::string body;
    } cases[] = {
        {"no archive at all", "cat > /dev/null\nexit 0\n"},
        {"an empty archive file", "for a; do last=\"$a\"; done\ncat > /dev/null\n: > \"$last\"\nexit 0\n"},
        {"a truncated archive", "for a; do last=\"$a\"; done\n\"$real\" \"$@\" || exit $?\n"
                                "size=$(wc -c < \"$last\")\nhead -c $((size / 2)) \"$last\" > \"$last.part\"\n"
                                "mv \"$last.part\" \"$last\"\n"},
    };
    for (const auto& c : cases) {
        standIn("zip", c.body);
        FaultStore store(Job::archive);
        const Files before = store.files();
        RunResult run = runWithStandIns(store);
        EXPECT_EQ(run.status, 0) << c.what << run.err;
        EXPECT_NE(run.err.find("[4121]: Cannot list the archive "), std::string::npos) << c.what << run.err;
        expectUntouched(store, before, c.what);
        expectSound(store, run, c.what);
    }
}

TEST_F(StandIn, RestoreWithFailingUnzipStopsAndSaysSo) {
    for (int status : {1, 2, 9, 11, 50, 80, 81, 82, 127, 255}) {
        const std::string where = "unzip exits " + std::to_string(status);
        // backup.bag itself cannot be had: nothing is restored.
        standIn("unzip", "exit " + std::to_string(status) + "\n");
        FaultStore store(Job::restore);
        RunResult run = runWithStandIns(store);
        EXPECT_EQ(run.status, 1) << where;
        EXPECT_EQ(run.err, "[4523]: Error unarchiving backup.bag file") << where;
        expectSound(store, run, where);

        // backup.bag comes out, a message does not: the question is asked
        // and, with no answer to be had, the run stops with 1.
        standIn("unzip", "for a; do last=\"$a\"; done\ncase \"$last\" in *.msg) exit " + std::to_string(status) +
                             ";; esac\nexec \"$real\" \"$@\"\n");
        FaultStore second(Job::restore);
        run = runWithStandIns(second);
        EXPECT_EQ(run.status, 1) << where;
        EXPECT_NE(run.out.find("Error unarchiving file "), std::string::npos) << where << run.out;
        EXPECT_NE(run.out.find("\nProceed (y/n): "), std::string::npos) << where << run.out;
        expectSound(second, run, where);
    }
}

// Zip, the archive listing and unzip hang; an interrupt (to the process
// group, as from a terminal) ends the run with its message, and nothing
// is deleted or left behind.
TEST_F(StandIn, HangingProgramsEndWithTheInterrupt) {
    const struct {
        const char* what;
        const char* program;
        std::string body;
        Job job;
    } cases[] = {
        {"zip hangs", "zip", "cat > /dev/null\nsleep 30\n", Job::archive},
        {"the listing hangs", "unzip", "if [ \"$1\" = -v ]; then sleep 30; fi\nexec \"$real\" \"$@\"\n", Job::archive},
        {"unzip of backup.bag hangs", "unzip", "sleep 30\n", Job::restore},
        {"unzip of a message hangs", "unzip",
         "for a; do last=\"$a\"; done\ncase \"$last\" in *.msg) sleep 30;; esac\nexec \"$real\" \"$@\"\n", Job::restore},
    };
    for (const auto& c : cases) {
        for (int sig : {SIGINT, SIGTERM}) {
            const std::string where = std::string(c.what) + ", signal " + std::to_string(sig);
            standIn(c.program, c.body);
            FaultStore store(c.job);
            const Files before = store.files();
            RunResult run = runWithStandIns(store, 600, sig);
            EXPECT_EQ(run.status, 1) << where << run.err;
            EXPECT_NE(run.err.find("[4858]: \n\n*** Program interrupted by user ***"), std::string::npos) << where << run.err;
            if (c.job == Job::archive) expectUntouched(store, before, where);
            expectSound(store, run, where);
        }
    }
}

// The version check and the archive listing write into temporary files;
// an interrupt while they run leaves none of them behind.
TEST_F(StandIn, InterruptedChecksLeaveNoTemporaryFile) {
    const struct {
        const char* what;
        const char* program;
        std::string script;  // the whole stand-in: its version check is the one interrupted
    } cases[] = {
        {"zip -h hangs", "zip", "echo 'Zip 3.0 (July 5th 2008)'\nsleep 30\n"},
        {"unzip -h hangs", "unzip", "if [ \"$1\" = -h ]; then echo 'UnZip 6.00'; sleep 30; fi\n"},
    };
    for (const auto& c : cases) {
        for (int sig : {SIGINT, SIGTERM}) {
            const std::string where = std::string(c.what) + ", signal " + std::to_string(sig);
            ts::writeScript(bin.path(), c.program, c.script);
            FaultStore store(std::string(c.program) == "zip" ? Job::archive : Job::restore);
            ts::TempDir temporaries;
            RunOptions options = jobRun({"TMPDIR=" + temporaries.path()});
            options.pathPrefix = bin.path();
            options.signalAfterMs = 600;
            options.signal = sig;
            options.timeoutSeconds = 30;
            RunResult run = runJob(store, options);
            EXPECT_EQ(run.status, 1) << where << run.err;
            EXPECT_NE(run.err.find("[4858]"), std::string::npos) << where << run.err;
            EXPECT_EQ(ts::listDirectory(temporaries.path()), std::vector<std::string>{}) << where;
        }
    }
}

// A restore interrupted while unzip extracts a batch of messages into its
// staging folder (the first batch came out and its messages are in place;
// the second is in the staging folder, one file of it half written):
// the staging folder goes with the run, and no message is in the store
// but whole.
TEST_F(StandIn, InterruptDuringABatchLeavesNoStagingFolderNorPartMessage) {
    for (Job job : {Job::restore, Job::restoreOriginal}) {
        for (int sig : {SIGINT, SIGTERM}) {
            const std::string where = std::string(jobName(job)) + ", signal " + std::to_string(sig);
            ts::TempDir state;
            standIn("unzip", "for a; do last=\"$a\"; done\n"
                             "case \"$last\" in *.msg)\n"
                             "  n=$(cat '" + state.path() + "/runs' 2>/dev/null || echo 0)\n"
                             "  echo $((n + 1)) > '" + state.path() + "/runs'\n"
                             "  if [ \"$n\" -ge 1 ]; then\n"
                             "    prev=; for a; do [ \"$prev\" = -d ] && dir=\"$a\"; prev=\"$a\"; done\n"
                             "    \"$real\" \"$@\"\n"
                             "    printf 'Subject: half' > \"$dir/half.msg\"\n"
                             "    sleep 30\n"
                             "  fi;;\n"
                             "esac\n"
                             "exec \"$real\" \"$@\"\n");
            FaultStore store(job);
            RunResult run = runWithStandIns(store, 1500, sig);
            EXPECT_EQ(run.status, 1) << where << run.err;
            EXPECT_NE(run.err.find("[4858]: \n\n*** Program interrupted by user ***"), std::string::npos)
                << where << run.err;
            EXPECT_EQ(ts::readFile(state.path() + "/runs"), "2\n") << where << " (the second batch was interrupted)";
            for (const auto& [path, bytes] : store.files())
                EXPECT_EQ(path.find(".archiver-"), std::string::npos) << where << ": left behind " << path;
            expectSound(store, run, where);
        }
    }
}

// An archive whose listing cannot be read (here unzip -v prints nonsense)
// is restored all the same, each file asked of unzip by its own name, as
// the restore did before it listed archives; unzip's check of each file's
// CRC-32 stands in for the listing's.
TEST_F(StandIn, RestoreWithoutAListingAsksForEachFileByName) {
    for (Job job : {Job::restore, Job::restoreOriginal}) {
        const std::string where = jobName(job);
        standIn("unzip", "if [ \"$1\" = -v ]; then echo 'no table here'; exit 0; fi\nexec \"$real\" \"$@\"\n");
        FaultStore store(job);
        RunResult run = runWithStandIns(store);
        EXPECT_EQ(run.status, 0) << where << run.out << run.err;
        EXPECT_EQ(run.out.find("Error unarchiving"), std::string::npos) << where << run.out;
        const Files now = store.files();
        for (const auto& [path, bytes] : referenceFor(job).after) {
            if (!ts::endsWith(path, ".msg") && !ts::endsWith(path, "folder.bag")) continue;
            auto it = now.find(path);
            EXPECT_TRUE(it != now.end() && it->second == bytes) << where << ": " << path;
        }
        expectSound(store, run, where);
    }
}

}  // namespace
