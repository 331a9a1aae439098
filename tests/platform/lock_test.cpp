// Locks that a process holds through an open file, the file's identity, and
// names claimed where nothing was.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace testing_support;

TEST(Lock, ASecondHolderIsToldWhoHoldsItAndTakesItOnceLetGo) {
    TempDir t;
    const std::string path = t / "archiver.lck";
    platform::FileLock first, second;
    std::string other;
    platform::Error error;
    ASSERT_EQ(platform::takeLock(path, "process 1, started then", first, other, error), platform::LockOutcome::taken)
        << error.number;
    EXPECT_EQ(readFile(path), "process 1, started then");
    // A second open of the file, as another run makes it, finds it held.
    EXPECT_EQ(platform::takeLock(path, "process 2", second, other, error), platform::LockOutcome::held);
    EXPECT_EQ(other, "process 1, started then");
    EXPECT_EQ(readFile(path), "process 1, started then");

    platform::releaseLock(first);
    EXPECT_FALSE(exists(path));
    ASSERT_EQ(platform::takeLock(path, "process 2", second, other, error), platform::LockOutcome::taken);
    EXPECT_EQ(readFile(path), "process 2");
    platform::releaseLock(second);
}

TEST(Lock, AFileLeftBehindUnlockedIsTakenOver) {
    TempDir t;
    const std::string path = t / "archiver.lck";
    writeFile(path, "process 9, started long ago");  // a killed run's
    platform::FileLock lock;
    std::string other;
    platform::Error error;
    ASSERT_EQ(platform::takeLock(path, "process 3", lock, other, error), platform::LockOutcome::taken);
    EXPECT_EQ(readFile(path), "process 3");
    platform::releaseLock(lock);
}

TEST(Lock, ALockFileThatCannotBeMadeFails) {
    TempDir t;
    platform::FileLock lock;
    std::string other;
    platform::Error error;
    EXPECT_EQ(platform::takeLock(t / "missing/archiver.lck", "x", lock, other, error), platform::LockOutcome::failed);
    EXPECT_TRUE(error);
}

TEST(FileIdentityTest, AFileReplacedByACopyOfItselfIsAnotherFile) {
    TempDir t;
    writeFile(t / "a.zip", "bytes");
    platform::FileIdentity before, same, after;
    ASSERT_TRUE(platform::fileIdentity(t / "a.zip", before));
    ASSERT_TRUE(platform::fileIdentity(t / "A.ZIP", same));  // found ignoring case
    EXPECT_EQ(before, same);
    writeFile(t / "copy", "bytes");
    ASSERT_FALSE(platform::renameFile(t / "copy", t / "a.zip"));
    ASSERT_TRUE(platform::fileIdentity(t / "a.zip", after));
    EXPECT_NE(before, after);
    EXPECT_FALSE(platform::fileIdentity(t / "gone.zip", after));
}

TEST(Claim, ANameIsClaimedOnceAndTheClaimGoesWithTheRunUntilKept) {
    TempDir t;
    bool exists_ = false;
    int slot = -1;
    ASSERT_FALSE(platform::claimFile(t / "ARCHIV00.zip", "claim", exists_, slot));
    EXPECT_EQ(readFile(t / "ARCHIV00.zip"), "claim");
    int other = -1;
    platform::Error again = platform::claimFile(t / "ARCHIV00.zip", "second", exists_, other);
    EXPECT_TRUE(again);
    EXPECT_TRUE(exists_);
    EXPECT_EQ(readFile(t / "ARCHIV00.zip"), "claim");
    // Until kept, every end of the run removes it.
    platform::removeRegisteredFiles();
    EXPECT_FALSE(exists(t / "ARCHIV00.zip"));

    ASSERT_FALSE(platform::claimFile(t / "ARCHIV01.zip", "claim", exists_, slot));
    platform::keepClaimedFile(slot);
    platform::removeRegisteredFiles();
    EXPECT_TRUE(exists(t / "ARCHIV01.zip"));
}
