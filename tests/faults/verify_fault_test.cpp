// The test of the archive before deletion, broken: unzip's test failing
// with each exit status, and hanging until the run is interrupted. Nothing
// may be deleted, no index rewritten, nothing left behind.
#include "fault_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

using namespace faults;
namespace ts = testing_support;

namespace {

class VerifyFault : public ::testing::Test {
protected:
    // unzip replaced on PATH; its version check and listing are the real
    // program's, only the test of the archive (-tqq) is the stand-in's.
    void testStandIn(const std::string& body) {
        const std::string real = ts::findProgram("unzip");
        ASSERT_FALSE(real.empty()) << "unzip is not installed";
        ts::writeScript(bin.path(), "unzip",
                        "real='" + real + "'\nif [ \"$1\" = -tqq ]; then\n" + body + "\nfi\nexec \"$real\" \"$@\"\n");
    }
    RunResult runArchive(const FaultStore& store, int signalAfterMs = -1, int sig = 0) {
        return faults::runWithStandIns(store, bin.path(), signalAfterMs, sig);
    }
    // Every message and index as it was, and the tree sound.
    void expectNothingDeleted(const FaultStore& store, const Files& before, const RunResult& run,
                              const std::string& where) {
        const Files now = store.files();
        for (const auto& [path, bytes] : before) {
            if (path.find(".msg") == std::string::npos && path.find("folder.bag") == std::string::npos) continue;
            auto it = now.find(path);
            EXPECT_TRUE(it != now.end() && it->second == bytes) << where << ": " << path << " changed or gone";
        }
        for (const std::string& problem : checkTree(store, run, Ending::handled)) ADD_FAILURE() << where << ": " << problem;
    }
    ts::TempDir bin;
};

TEST_F(VerifyFault, FailedArchiveTestDeletesNothingAndSaysSo) {
    const int statuses[] = {1, 2, 3, 9, 11, 50, 51, 80, 81, 82, 126, 127, 137, 255};
    for (int status : statuses) {
        testStandIn("  exit " + std::to_string(status));
        FaultStore store(Job::archive);
        const Files before = store.files();
        RunResult run = runArchive(store);
        const std::string where = "unzip -tqq exits " + std::to_string(status);
        EXPECT_EQ(run.status, 1) << where << run.err;
        EXPECT_NE(run.err.find("[4125]: The archive "), std::string::npos) << where << run.err;
        EXPECT_NE(run.err.find("failed its test: no message is deleted, the indexes stay as they were"),
                  std::string::npos)
            << where << run.err;
        expectNothingDeleted(store, before, run, where);
    }
    recordPoints("archive test exit statuses", sizeof statuses / sizeof statuses[0]);
}

// An interrupt from the terminal while the archive is tested ends the run
// with its message; the tests' unzip processes end with it.
TEST_F(VerifyFault, InterruptDuringTheArchiveTestDeletesNothing) {
    for (int sig : {SIGINT, SIGTERM}) {
        const std::string where = "archive test hangs, signal " + std::to_string(sig);
        const std::string reached = bin / ("reached" + std::to_string(sig));
        testStandIn("  : > '" + reached + "'\n  sleep 30");
        FaultStore store(Job::archive);
        const Files before = store.files();
        RunResult run = runArchive(store, 1500, sig);
        EXPECT_TRUE(ts::exists(reached)) << where << ": the signal came before the test";
        EXPECT_EQ(run.status, 1) << where << run.err;
        EXPECT_NE(run.err.find("[4858]: \n\n*** Program interrupted by user ***"), std::string::npos) << where << run.err;
        expectNothingDeleted(store, before, run, where);
    }
}

}  // namespace
