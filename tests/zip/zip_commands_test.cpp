#include "platform.h"
#include "work_files.h"
#include "zip.h"
#include "test_support.h"

#include <cstring>
#include <unistd.h>

using testing_support::exists;
using testing_support::listDirectory;
using testing_support::readFile;
using testing_support::recordingStandIn;
using testing_support::writeFile;
using testing_support::zipMembers;

namespace {

class ZipCommandTest : public testing_support::InTempDirectory {};

// The names looked for along PATH, and unzip's -W, which Info-ZIP builds
// for Unix only.
TEST(ZipPrograms, NamesAndWildcardsFollowTheSystemsBuild) {
#ifdef _WIN32
    EXPECT_EQ(programName(ZipProgram::zip), "zip.exe");
    EXPECT_EQ(programName(ZipProgram::unzip), "unzip.exe");
    EXPECT_FALSE(unzipWildcardsStopAtSlash());
#else
    EXPECT_EQ(programName(ZipProgram::zip), "zip");
    EXPECT_EQ(programName(ZipProgram::unzip), "unzip");
    EXPECT_TRUE(unzipWildcardsStopAtSlash());
#endif
}

TEST_F(ZipCommandTest, ZipFilesHandsTheListAsInputAndTheArchiveAsOneArgument) {
    recordingStandIn(at("bin"), programName(ZipProgram::zip), at("record"));
    usePath(at("bin"));
    writeFile(at("archive.tmp"), "./a.act/acct.ini\nbackup.bag\n");

    EXPECT_EQ(zipFiles("archive.tmp", "/home/ann/My Mail/ARCHIV01.zip", 0), 0);
    EXPECT_EQ(readFile(at("record")), "-q\n-9\n-@\n/home/ann/My Mail/ARCHIV01.zip\n");
    EXPECT_EQ(readFile(at("record.in")), "./a.act/acct.ini\nbackup.bag\n");

    EXPECT_EQ(zipFiles("archive.tmp", "a.zip", 1), 0);
    EXPECT_EQ(readFile(at("record")), "-9\n-@\na.zip\n");
}

TEST_F(ZipCommandTest, ZipFilesReturnsWhatZipReturns) {
    recordingStandIn(at("bin"), programName(ZipProgram::zip), at("record"), 12);
    usePath(at("bin"));
    writeFile(at("archive.tmp"), "x\n");
    EXPECT_EQ(zipFiles("archive.tmp", "a.zip", 0), 12);
}

TEST_F(ZipCommandTest, UnzipFileCommandLinesAndTheMemberLosesItsDotSlash) {
    recordingStandIn(at("bin"), programName(ZipProgram::unzip), at("record"));
    usePath(at("bin"));

    char member[64];
    std::strcpy(member, "./backup.bag");
    EXPECT_EQ(unzipFile("", "a.zip", member, 0), 0);
    EXPECT_STREQ(member, "backup.bag");
    EXPECT_EQ(readFile(at("record")), "-q\n-o\n-C\na.zip\nbackup.bag\n");

    std::strcpy(member, "./x.act/acct.ini");
    EXPECT_EQ(unzipFile("x.act", "a.zip", member, 1), 0);
    EXPECT_STREQ(member, "x.act/acct.ini");
    EXPECT_EQ(readFile(at("record")), "-o\n-C\n-j\n-d\nx.act\na.zip\nx.act/acct.ini\n");

    std::strcpy(member, "my box.act/in.fld/1 2.msg");
    EXPECT_EQ(unzipFile("my box.act/restore.fld/", "/m m/a.zip", member, 0), 0);
    EXPECT_STREQ(member, "my box.act/in.fld/1 2.msg");
    EXPECT_EQ(readFile(at("record")),
              "-qq\n-o\n-C\n-j\n-d\nmy box.act/restore.fld/\n/m m/a.zip\nmy box.act/in.fld/1 2.msg\n");

    std::strcpy(member, "./a.msg");
    EXPECT_EQ(unzipFile(nullptr, "a.zip", member, 1), 0);
    EXPECT_EQ(readFile(at("record")), "-o\n-C\na.zip\na.msg\n");
}

// The real programs, with spaces in every name they are handed.
TEST_F(ZipCommandTest, RealZipAndUnzipTakeNamesWithSpaces) {
    testing_support::makeDirectories(at("My Mail/out dir"));
    ASSERT_EQ(chdir(at("My Mail").c_str()), 0);
    writeFile(at("My Mail/a b.act/in box.fld/1 2.msg"), "Subject: one\n\nbody\n");
    writeFile(at("My Mail/backup.bag"), "index\n");
    writeFile(at("My Mail/archive.tmp"), "./a b.act/in box.fld/1 2.msg\nbackup.bag\n");

    std::string archive = at("My Mail/ARCHIV 00.zip");
    EXPECT_EQ(zipFiles("archive.tmp", archive.c_str(), 0), 0);
    EXPECT_EQ(zipMembers(archive), (std::vector<std::string>{"a b.act/in box.fld/1 2.msg", "backup.bag"}));

    char member[64];
    std::strcpy(member, "./A B.act/IN BOX.fld/1 2.msg");  // -C: letter case does not matter
    EXPECT_EQ(unzipFile("out dir", archive.c_str(), member, 0), 0);
    EXPECT_EQ(readFile(at("My Mail/out dir/1 2.msg")), "Subject: one\n\nbody\n");

    testing_support::makeDirectories(at("elsewhere"));
    ASSERT_EQ(chdir(at("elsewhere").c_str()), 0);
    std::strcpy(member, "./a b.act/in box.fld/1 2.msg");
    EXPECT_EQ(unzipFile("", archive.c_str(), member, 0), 0);
    EXPECT_EQ(readFile(at("elsewhere/a b.act/in box.fld/1 2.msg")), "Subject: one\n\nbody\n");

    std::strcpy(member, "not-there.msg");
    EXPECT_NE(unzipFile("", archive.c_str(), member, 0), 0);
}

// The real unzip hands a member's bytes over a pipe: all of them, far more
// than a pipe holds at once, and nothing is written anywhere.
TEST_F(ZipCommandTest, ReadArchiveMemberHandsOnTheBytesAndWritesNothing) {
    std::string index;
    for (int i = 0; index.size() < 3 * 1024 * 1024; ++i) index += "line " + std::to_string(i) + " of the index\n";
    writeFile(at("stage/backup.bag"), index);
    writeFile(at("stage/a b.act/1.msg"), "a message\n");
    ASSERT_EQ(chdir(at("stage").c_str()), 0);
    writeFile(at("stage/archive.tmp"), "backup.bag\na b.act/1.msg\n");
    const std::string archive = at("the archive.zip");
    ASSERT_EQ(zipFiles("archive.tmp", archive.c_str(), 0), 0);
    testing_support::makeDirectories(at("empty"));
    ASSERT_EQ(chdir(at("empty").c_str()), 0);

    std::string got;
    std::size_t calls = 0;
    auto collect = [&](const char* bytes, std::size_t size) {
        got.append(bytes, size);
        ++calls;
    };
    EXPECT_EQ(readArchiveMember(archive.c_str(), "BACKUP.BAG", collect), 0);  // -C: letter case does not matter
    EXPECT_EQ(got, index);
    EXPECT_GT(calls, 1u);  // block by block

    got.clear();
    EXPECT_EQ(readArchiveMember(archive.c_str(), "none.bag", collect), 11);
    EXPECT_EQ(got, "");
    writeFile(at("not a zip.zip"), "no zip archive at all\n");
    EXPECT_NE(readArchiveMember(at("not a zip.zip").c_str(), "backup.bag", collect), 0);
    EXPECT_NE(readArchiveMember(at("missing.zip").c_str(), "backup.bag", collect), 0);
    EXPECT_EQ(listDirectory(at("empty")), std::vector<std::string>{});
}

// ---- version check ----------------------------------------------------------

class VersionCheckTest : public testing_support::InTempDirectory {
protected:
    void SetUp() override {
        InTempDirectory::SetUp();
        testing_support::makeDirectories(at("tmp"));
        testing_support::setEnvironment(testing_support::temporaryDirectoryVariable, at("tmp"));
    }
    // A stand-in that answers -h with `help`, padded with `padding` bytes.
    void standIn(const std::string& name, const std::string& help) {
        writeFile(at("help-" + name), help);
        testing_support::makeDirectories(at("bin"));
#ifdef _WIN32
        testing_support::writeStandIn(at("bin"), name + ".exe", "print " + at("help-" + name) + "\n");
#else
        testing_support::writeScript(at("bin"), name, "/bin/cat '" + at("help-" + name) + "'\n");
#endif
        usePath(testing_support::pathList({at("bin"), originalPath()}));
    }
    static std::string padded(const std::string& text) { return text + std::string(220, 'x') + "\n"; }

    int check(int kind, std::string& out) {
        ::testing::internal::CaptureStdout();
        int result = checkZipVersion(kind);
        out = ::testing::internal::GetCapturedStdout();
        EXPECT_TRUE(listDirectory(at("tmp")).empty()) << "the help text file must be gone";
        return result;
    }
};

TEST_F(VersionCheckTest, TheInstalledProgramsPass) {
    std::string out;
    EXPECT_EQ(check(1, out), 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(check(2, out), 1);
    EXPECT_EQ(out, "");
}

TEST_F(VersionCheckTest, ZipVersionLines) {
    std::string out;
    standIn("zip", padded("Copyright (c) Info-ZIP\nZip 2.3 (November 29th 1999). Usage:\n"));
    EXPECT_EQ(check(1, out), 1);
    EXPECT_EQ(out, "");

    standIn("zip", padded("Copyright\nZip 2.1 (1996). Usage:\n"));
    EXPECT_EQ(check(1, out), 0);
    EXPECT_EQ(out, "Invalid Zip version.  You must be running InfoZip version 2.2 or later\n");

    // A plain character comparison: "10.0" sorts below "2.2".
    standIn("zip", padded("Copyright\nZip 10.0 (2030). Usage:\n"));
    EXPECT_EQ(check(1, out), 0);

    standIn("zip", padded("Copyright\nzip 2.3 (lower case)\n"));
    EXPECT_EQ(check(1, out), 0);
    EXPECT_EQ(out,
              "Unable to find Zip version in output from Zip.  Please check\n"
              "the version of Zip you are running.\n");

    // The line must start with "Zip": the first line of the file does not.
    standIn("zip", padded("Zip 3.0 on the first line\n"));
    EXPECT_EQ(check(1, out), 0);
    EXPECT_NE(out.find("Unable to find Zip version"), std::string::npos);
}

TEST_F(VersionCheckTest, UnzipVersionLines) {
    std::string out;
    standIn("unzip", padded("UnZip 5.32 of 3 November 1997, by Info-ZIP.\n"));
    EXPECT_EQ(check(2, out), 1);
    EXPECT_EQ(out, "");

    standIn("unzip", padded("UnZip 5.31 of 1997, by Info-ZIP.\n"));
    EXPECT_EQ(check(2, out), 0);
    EXPECT_EQ(out, "Invalid UnZip version.  You must be running InfoUnZip version 5.32 or later\n");

    standIn("unzip", padded("Unzip 6.00 of 2009\n"));
    EXPECT_EQ(check(2, out), 0);
    EXPECT_EQ(out,
              "Unable to find UnZip version in output from UnZip.  Please check\n"
              "the version of UnZip you are running.\n");
}

TEST_F(VersionCheckTest, OnlyTheFirstTwoHundredBytesCount) {
    std::string out;
    standIn("zip", "Zip 3.0\nZip 3.0 short help\n");
    EXPECT_EQ(check(1, out), 0);
    EXPECT_EQ(out, "Unable to read output file from zip/unzip for version check.\n");

    // The version line after byte 200 is not seen.
    standIn("zip", std::string(250, 'x') + "\nZip 3.0\n");
    EXPECT_EQ(check(1, out), 0);
    EXPECT_NE(out.find("Unable to find Zip version"), std::string::npos);

    // A marker in the last bytes leaves an empty version text: too low,
    // and read without going beyond the 200 bytes.
    standIn("zip", std::string(196, 'x') + "\nZip" + std::string(50, 'y'));
    EXPECT_EQ(check(1, out), 0);
    EXPECT_EQ(out, "Invalid Zip version.  You must be running InfoZip version 2.2 or later\n");
    standIn("unzip", std::string(195, 'x') + "UnZip" + std::string(50, 'y'));
    EXPECT_EQ(check(2, out), 0);
    EXPECT_NE(out.find("Invalid UnZip version"), std::string::npos);
}

TEST_F(VersionCheckTest, MissingProgramAndWrongKind) {
    std::string out;
    testing_support::makeDirectories(at("nothing"));
    usePath(at("nothing"));  // the interpreter finds no zip there
    EXPECT_EQ(check(1, out), 0);
    EXPECT_EQ(out, "Unable to read output file from zip/unzip for version check.\n");

    EXPECT_EQ(check(3, out), 0);
    EXPECT_EQ(out, "Error in exe type\n");
}

TEST_F(VersionCheckTest, DebugLogShowsTheCommandLineAndTheVerdict) {
    std::string out;
    testing_support::setEnvironment("ARCHIVER_DEBUG", "yes");
    standIn("unzip", padded("UnZip 6.00 of 20 April 2009\n"));
    EXPECT_EQ(check(2, out), 1);
    std::string log = testing_support::readTextFile(at("archiver.dbg"));
    const std::string head =
        std::string("Checking version of zip/unzip, command line: ") + programName(ZipProgram::unzip) + " -h > ";
    ASSERT_EQ(log.rfind(head, 0), 0u) << log;
    const std::string helpFile = log.substr(head.size(), log.find('\n') - head.size());
    EXPECT_EQ(testing_support::canonicalPath(helpFile.substr(0, helpFile.find_last_of("/\\"))),
              testing_support::canonicalPath(at("tmp")))
        << log;
    EXPECT_NE(log.find("\nValid Zip/Unzip version found\n"), std::string::npos) << log;

    std::remove(at("archiver.dbg").c_str());
    standIn("zip", padded("Copyright\nZip 2.0\n"));
    EXPECT_EQ(check(1, out), 0);
    log = testing_support::readTextFile(at("archiver.dbg"));
    EXPECT_NE(log.find("\nInvalid Zip version.  You must be running InfoZip version 2.2 or later\n"),
              std::string::npos)
        << log;
}

TEST_F(VersionCheckTest, ATemporaryDirectoryWithASpaceStillWorks) {
    testing_support::makeDirectories(at("tmp dir"));
    testing_support::setEnvironment(testing_support::temporaryDirectoryVariable, at("tmp dir"));
    ::testing::internal::CaptureStdout();
    int result = checkZipVersion(1);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, 1) << out;
    EXPECT_TRUE(listDirectory(at("tmp dir")).empty());
}

}  // namespace

// fatalError and the interrupt remove the run's work files by the names
// control holds: the list file must be one of them.
TEST(ListFile, IsTheWorkFileThatAFatalErrorRemoves) { EXPECT_STREQ(listFileName, archiveListName); }
