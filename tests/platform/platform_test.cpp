#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace testing_support;

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

TEST(PlatformPaths, CreationNeverDuplicatesAnExistingName) {
    TempDir t;
    makeDirectories(t / "Work.act");
    EXPECT_TRUE(platform::makeDirectory(t / "work.act"));  // exists already
    std::FILE* f = platform::openFile(t / "work.act/acct.ini", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("name", f);
    std::fclose(f);
    EXPECT_EQ(listDirectory(t.path()), (std::vector<std::string>{"Work.act"}));
    EXPECT_EQ(readFile(t / "Work.act/acct.ini"), "name");
    EXPECT_FALSE(platform::makeDirectory(t / "work.act/restore.fld"));
    EXPECT_TRUE(isDirectory(t / "Work.act/restore.fld"));

    // rename and remove resolve both names the same way
    EXPECT_FALSE(platform::renameFile(t / "WORK.ACT/ACCT.INI", t / "work.act/acct.old"));
    EXPECT_EQ(readFile(t / "Work.act/acct.old"), "name");
    EXPECT_FALSE(platform::removeFile(t / "work.ACT/acct.OLD"));
    EXPECT_FALSE(exists(t / "Work.act/acct.old"));
    EXPECT_TRUE(platform::removeFile(t / "work.act/acct.old"));
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

TEST(PlatformSearch, WildcardsFollowDosRules) {
    EXPECT_TRUE(platform::wildcardMatch("*.*", "README"));
    EXPECT_TRUE(platform::wildcardMatch("*.*", "a.b.c"));
    EXPECT_TRUE(platform::wildcardMatch("*.act", "X.ACT"));
    EXPECT_FALSE(platform::wildcardMatch("*.act", "x.actx"));
    EXPECT_TRUE(platform::wildcardMatch("ARCHIV??.zip", "archiv07.ZIP"));
    EXPECT_FALSE(platform::wildcardMatch("ARCHIV??.zip", "archiv7.zip"));
    EXPECT_TRUE(platform::wildcardMatch("a*", "a"));
    EXPECT_FALSE(platform::wildcardMatch("a?", "a"));
}

TEST(PlatformSearch, EntriesComeInNameOrderIgnoringCaseWithAttributes) {
    TempDir t;
    writeFile(t / "b.msg", "12345");
    writeFile(t / "A.msg", "1");
    writeFile(t / "c.txt", "");
    makeDirectories(t / "Inbox.fld");
    auto entries = platform::findEntries(t.path() + "\\*.*");
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "A.msg", "b.msg", "c.txt", "Inbox.fld"}));
    for (const auto& e : entries) {
        if (e.name == "b.msg") {
            EXPECT_EQ(e.size, 5);
        } else if (e.name == "Inbox.fld") {
            EXPECT_EQ(e.attributes & platform::attributeDirectory, platform::attributeDirectory);
        } else if (e.name == "A.msg") {
            EXPECT_EQ(e.attributes & platform::attributeDirectory, 0u);
        }
    }
    auto msgs = platform::findEntries(t / "*.MSG");
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0].name, "A.msg");
    EXPECT_TRUE(platform::findEntries(t / "missing/*.*").empty());
}

TEST(PlatformFiles, AtomicFileReplacesOnlyOnCommit) {
    TempDir t;
    writeFile(t / "Folder.bag", "old");
    {
        platform::AtomicFile f;
        ASSERT_FALSE(f.open(t / "folder.bag"));
        std::fputs("half", f.stream());
        // no commit: the old file stays, the temporary goes
    }
    EXPECT_EQ(readFile(t / "Folder.bag"), "old");
    EXPECT_EQ(listDirectory(t.path()), (std::vector<std::string>{"Folder.bag"}));
    platform::AtomicFile f;
    ASSERT_FALSE(f.open(t / "folder.bag"));
    std::fputs("new", f.stream());
    EXPECT_FALSE(f.commit());
    EXPECT_EQ(readFile(t / "Folder.bag"), "new");
    EXPECT_EQ(listDirectory(t.path()), (std::vector<std::string>{"Folder.bag"}));
}

TEST(PlatformFiles, StatusReportsKindSizeAndTimes) {
    TempDir t;
    writeFile(t / "m.msg", "abc");
    setModifyTime(t / "m.msg", 900000000);
    platform::FileStatus s;
    ASSERT_TRUE(platform::fileStatus(t / "M.MSG", s));
    EXPECT_TRUE(s.isRegular);
    EXPECT_FALSE(s.isDirectory);
    EXPECT_EQ(s.size, 3);
    EXPECT_EQ(s.modifyTime, 900000000);
    platform::Error error;
    EXPECT_FALSE(platform::fileStatus(t / "none", s, &error));
    EXPECT_TRUE(platform::isNotFound(error));
}

TEST(PlatformPrograms, SpawnPassesExactArgumentsAndExitStatus) {
    TempDir t;
    writeFile(t / "show.sh", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"$(dirname \"$0\")/args.txt\"\nexit 3\n");
    chmod((t / "show.sh").c_str(), 0755);
    platform::Error error;
    int status = platform::spawnAndWait(t / "show.sh", {"show.sh", "-q", "My Mail/a.zip", "", "x%sy"}, error);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(readFile(t / "args.txt"), "[-q]\n[My Mail/a.zip]\n[]\n[x%sy]\n");
    EXPECT_EQ(platform::spawnAndWait(t / "missing", {"missing"}, error), -1);
    EXPECT_EQ(error.number, ENOENT);
}

TEST(PlatformPrograms, StandardInputFromAFileAndTheCommandInterpreter) {
    TempDir t;
    writeFile(t / "list.txt", "one\ntwo\n");
    // The redirection is for the rest of the process, so it runs in a child.
    EXPECT_EXIT(
        {
            if (!platform::redirectStandardInput(t / "LIST.TXT")) _exit(9);
            platform::Error error;
            int s = platform::spawnAndWait("/bin/sh", {"sh", "-c", "cat > \"$0\"", t / "copy.txt"}, error);
            _exit(s);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(t / "copy.txt"), "one\ntwo\n");
    EXPECT_EXIT({ _exit(platform::redirectStandardInput(t / "none.txt") ? 0 : 2); }, ::testing::ExitedWithCode(2), "");

    EXPECT_EQ(platform::runCommandInterpreter("echo hello > '" + t / "out.txt" + "'; exit 4"), 4);
    EXPECT_EQ(readFile(t / "out.txt"), "hello\n");
    std::string temp = platform::createTemporaryFile();
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(exists(temp));
    EXPECT_NE(platform::createTemporaryFile(), temp);
    platform::removeTemporaryFile(temp);
    EXPECT_FALSE(exists(temp));
}
