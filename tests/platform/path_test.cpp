// Store paths: absolute forms, drives, letter case and the current
// directory. POSIX has one root for every drive and finds each component
// without regard to case; Windows has real drives and does this itself.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace testing_support;

#ifdef _WIN32

TEST(WindowsPaths, DrivesStaySeparatorsTurnAndCaseIsTheSystems) {
    EXPECT_EQ(platform::resolvePath("D:\\save\\a.zip"), "D:/save/a.zip");
    EXPECT_EQ(platform::resolvePath(".\\a.act\\\\x.fld/"), "./a.act/x.fld/");
    EXPECT_EQ(platform::resolvePath("\\\\server\\share\\a.zip"), "//server/share/a.zip");
    EXPECT_STREQ(platform::pathSeparator(), "\\");
    EXPECT_EQ(platform::pathListSeparator(), ';');
    EXPECT_STREQ(platform::executableSuffix(), ".exe");

    TempDir t;
    writeFile(t / "Work.ACT/Inbox.FLD/folder.BAG", "x");
    EXPECT_TRUE(platform::fileExists(t / "work.act\\inbox.fld\\FOLDER.bag"));
    EXPECT_FALSE(platform::fileExists(t / "work.act/inbox.fld/other.bag"));
}

TEST(WindowsPaths, DrivesAreRealAndAMissingOneCannotBeEntered) {
    const int start = platform::currentDrive();
    const std::string startDir = platform::currentDirectory();
    ASSERT_GE(start, 1);
    ASSERT_LE(start, 26);
    EXPECT_EQ(startDir[0] & ~0x20, 'A' + start - 1);
    const DWORD drives = GetLogicalDrives();
    int missing = 0, other = 0;
    for (int d = 26; d >= 1; --d) {
        if (!(drives & (1u << (d - 1)))) missing = d;
        else if (d != start) other = d;
    }
    ASSERT_NE(missing, 0);
    EXPECT_FALSE(platform::changeDrive(missing));
    EXPECT_EQ(platform::currentDrive(), start);
    EXPECT_FALSE(platform::changeDrive(0));
    EXPECT_FALSE(platform::changeDrive(27));
    if (other != 0) {
        EXPECT_TRUE(platform::changeDrive(other));
        EXPECT_EQ(platform::currentDrive(), other);
        EXPECT_EQ(platform::currentDirectory()[0] & ~0x20, 'A' + other - 1);
    }
    EXPECT_TRUE(platform::changeDrive(start));
    EXPECT_TRUE(platform::changeDirectory(startDir));
    EXPECT_EQ(platform::currentDirectory(), startDir);
}

#else

TEST(PlatformPaths, AbsoluteForms) {
    EXPECT_TRUE(platform::isAbsolutePath("\\mail"));
    EXPECT_TRUE(platform::isAbsolutePath("/mail"));
    EXPECT_TRUE(platform::isAbsolutePath("D:\\save\\a.zip"));
    EXPECT_TRUE(platform::isAbsolutePath("d:x"));
    EXPECT_FALSE(platform::isAbsolutePath("a.zip"));
    EXPECT_FALSE(platform::isAbsolutePath("./a.act"));
    EXPECT_EQ(platform::resolvePath("D:\\"), "/");
}

TEST(PlatformPaths, ExistingComponentsAreFoundWithoutRegardToCase) {
    TempDir t;
    writeFile(t / "Work.ACT/Inbox.FLD/folder.BAG", "x");
    EXPECT_EQ(platform::resolvePath(t / "work.act/inbox.fld/folder.bag"), t / "Work.ACT/Inbox.FLD/folder.BAG");
    EXPECT_EQ(platform::resolvePath(t.path() + "\\WORK.act\\INBOX.fld\\"), t / "Work.ACT/Inbox.FLD/");
    // A name that does not exist keeps the spelling asked for, below the
    // existing directories.
    EXPECT_EQ(platform::resolvePath(t / "work.act/inbox.fld/New.msg"), t / "Work.ACT/Inbox.FLD/New.msg");
    EXPECT_TRUE(platform::fileExists(t / "WORK.ACT/INBOX.FLD/FOLDER.BAG"));
    EXPECT_FALSE(platform::fileExists(t / "work.act/inbox.fld/other.bag"));
}

TEST(PlatformPaths, RelativePathsResolveAgainstTheCurrentDirectory) {
    TempDir t;
    writeFile(t / "Main/Velmor.EXE", "");
    CurrentDirectory in(t / "Main");
    EXPECT_TRUE(platform::fileExists("velmor.exe"));
    EXPECT_TRUE(platform::fileExists("./velmor.exe"));
    EXPECT_TRUE(platform::fileExists(".\\VELMOR.exe"));
    EXPECT_TRUE(platform::changeDirectory("..\\main"));
    EXPECT_EQ(platform::currentDirectory(), t / "Main");
}

#endif
