// Files: status, creation under the spelling that exists, safe rewrites,
// text and binary modes, and reading a file's start (one block, the file
// closed as soon as nothing more is wanted, and never a wait for a pipe).
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// The bytes up to and including the first "\n\n", as a header reader wants them.
std::size_t toBlankLine(const char* bytes, std::size_t size) {
    for (std::size_t i = 1; i < size; ++i)
        if (bytes[i] == '\n' && bytes[i - 1] == '\n') return i + 1;
    return 0;
}

std::string startOf(const platform::FileStart& s) { return std::string(s.bytes, s.size); }

}  // namespace

TEST(FileStart, OpenStartKeepsALongFileOpenAndDoesNotWaitForAPipe) {
    TempDir t;
    writeFile(t / "Long.msg", std::string(6000, 'x'));
    platform::FileStart start;
    ASSERT_TRUE(platform::openStart(t / "long.MSG", start, toBlankLine));  // found ignoring case
    EXPECT_EQ(start.size, platform::FileStart::capacity);
    ASSERT_TRUE(start.file.isOpen());
    char rest[4096];
    platform::Error error;
    EXPECT_EQ(platform::readSome(start.file, rest, sizeof rest, error), 6000 - 4096);
    EXPECT_EQ(platform::readSome(start.file, rest, sizeof rest, error), 0);
    platform::closeFile(start.file);
    EXPECT_FALSE(start.file.isOpen());

    // A reading thread holds nothing open: a start that goes on is not whole.
    EXPECT_FALSE(platform::readWholeStart(t / "long.msg", start, toBlankLine));
    EXPECT_FALSE(start.file.isOpen());
    writeFile(t / "Short.msg", "To: a\n\nbody");
    ASSERT_TRUE(platform::readWholeStart(t / "SHORT.msg", start, toBlankLine));
    EXPECT_EQ(startOf(start), "To: a\n\n");

#ifdef _WIN32
    // A pipe with nothing in it yet: nothing, at once.
    const std::string pipe = "\\\\.\\pipe\\archiver-start-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(platform::openStart(pipe, start, toBlankLine));  // would wait for the writer without the check
    CloseHandle(server);
#else
    ASSERT_EQ(mkfifo((t / "pipe.msg").c_str(), 0600), 0);
    ASSERT_TRUE(platform::openStart(t / "pipe.msg", start, toBlankLine));  // would block without a writer
#endif
    EXPECT_EQ(start.size, 0u);
    EXPECT_FALSE(start.file.isOpen());

    EXPECT_FALSE(platform::openStart(t / "missing.msg", start, toBlankLine));
}

#ifdef _WIN32

TEST(WindowsFiles, AtomicFileReplacesAnExistingFileOnlyOnCommit) {
    TempDir t;
    writeFile(t / "Folder.bag", "old");
    {
        platform::AtomicFile f;
        ASSERT_FALSE(f.open(t / "folder.bag"));
        std::fputs("half\n", f.stream());
    }
    EXPECT_EQ(readFile(t / "Folder.bag"), "old");
    EXPECT_EQ(listDirectory(t.path()).size(), 1u) << "the temporary file is gone";

    platform::AtomicFile f;
    ASSERT_FALSE(f.open(t / "folder.bag"));
    std::fputs("new\n", f.stream());
    EXPECT_FALSE(f.commit());
    const auto names = listDirectory(t.path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(readFile(t / names[0]), "new\n") << "bytes as written: no CR added";

    // Only text written without "b" gets CR LF line ends; reading keeps bytes.
    std::FILE* text = platform::openFile(t / "report.rpt", "a");
    ASSERT_NE(text, nullptr);
    std::fputs("line\n", text);
    std::fclose(text);
    EXPECT_EQ(readFile(t / "report.rpt"), "line\r\n");
    writeFile(t / "index.bag", "a\r\nb\x1a" "c\n");
    std::FILE* in = platform::openFile(t / "INDEX.bag", "r");
    ASSERT_NE(in, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, in), 7u) << "Ctrl+Z does not end the file";
    std::fclose(in);
}

#else

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

#endif
