// The list file archive.tmp: the names zip is to add, one a line, each as
// the disk spells it, and whether every one of them reached the disk.
#include "listfile.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <string>

using testing_support::exists;
using testing_support::readTextFile;
using testing_support::writeFile;

namespace {

class ListFileTest : public testing_support::InTempDirectory {
protected:
    void TearDown() override {
        closeListFile();
        removeListFile();
    }
};

}  // namespace

TEST_F(ListFileTest, OneLineAPathInTheOrderGiven) {
    writeFile(at("archive.tmp"), "left over from a killed run\n");
    writeFile(at("a.act/in.fld/1.msg"), "x");
    ASSERT_STREQ(openListFile(), "archive.tmp");
    EXPECT_EQ(readTextFile(at("archive.tmp")), "") << "an old list is emptied";
    EXPECT_EQ(addToListFile("./a.act/in.fld/1.msg"), 1);
    EXPECT_EQ(addToListFile("./a.act/in.fld/new name.msg"), 1);  // not there: as it was asked for
    EXPECT_EQ(addToListFile("backup.bag"), 1);
    // Already spelled as on disk: written as it is, without a look-up.
    EXPECT_EQ(addSpelledPathToListFile("./A.ACT/In.fld/2.msg"), 1);
    EXPECT_EQ(closeListFile(), 1);
    EXPECT_TRUE(listFileComplete());
    EXPECT_EQ(readTextFile(at("archive.tmp")),
              "./a.act/in.fld/1.msg\n./a.act/in.fld/new name.msg\nbackup.bag\n./A.ACT/In.fld/2.msg\n");

    EXPECT_EQ(removeListFile(), 0);
    EXPECT_FALSE(exists(at("archive.tmp")));
    // Removing it again says nothing: no list file is no error.
    ::testing::internal::CaptureStdout();
    removeListFile();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

#ifndef _WIN32
// zip opens the names itself, without the store's case-blind look-up. (A
// path found under another spelling loses its "./", which zip drops from
// every name anyway.)
TEST_F(ListFileTest, APathIsWrittenAsTheDiskSpellsIt) {
    writeFile(at("Work.ACT/Inbox.FLD/1.MSG"), "x");
    ASSERT_NE(openListFile(), nullptr);
    EXPECT_EQ(addToListFile("./work.act/inbox.fld/1.msg"), 1);
    EXPECT_EQ(addToListFile("./work.act/inbox.fld/2.msg"), 1);
    closeListFile();
    EXPECT_EQ(readTextFile(at("archive.tmp")), "Work.ACT/Inbox.FLD/1.MSG\nWork.ACT/Inbox.FLD/2.msg\n");
}

// Lines wait in the stream's buffer: a disk that is full only when they
// are written out at the close loses them just the same.
TEST_F(ListFileTest, PathsLostAtTheCloseMakeTheListIncomplete) {
    ASSERT_EQ(symlink("/dev/full", at("archive.tmp").c_str()), 0);
    ASSERT_NE(openListFile(), nullptr);
    EXPECT_EQ(addToListFile("backup.bag"), 1);
    closeListFile();
    EXPECT_FALSE(listFileComplete());
}
#endif

TEST_F(ListFileTest, AWriteWithoutAnOpenListFailsAndIsRemembered) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(addToListFile("backup.bag"), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error writing data to temporary file\n");
    EXPECT_FALSE(listFileComplete());
    // A new list starts whole.
    ASSERT_NE(openListFile(), nullptr);
    EXPECT_TRUE(listFileComplete());
}
