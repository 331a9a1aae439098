#include "zip.h"
#include "test_support.h"

#include <cstdio>
#include <cstdlib>

using testing_support::exists;
using testing_support::readFile;
using testing_support::recordingStandIn;
using testing_support::writeFile;

namespace {

class RunProgramTest : public testing_support::InTempDirectory {};

TEST_F(RunProgramTest, TakesTheFirstPathElementWhereTheProgramStarts) {
    testing_support::makeDirectories(at("d1"));
    recordingStandIn(at("d2"), "prog", at("from-d2"));
    recordingStandIn(at("d3"), "prog", at("from-d3"));
    usePath(testing_support::pathList({at("d1"), at("d2"), at("d3")}));

    EXPECT_EQ(runProgram("prog", {"-o"}, nullptr), 0);
    EXPECT_EQ(readFile(at("from-d2")), "-o\n");
    EXPECT_FALSE(exists(at("from-d3")));
}

TEST_F(RunProgramTest, EmptyPathElementsAreTriedAsTheRootAndPassedOver) {
    recordingStandIn(at("d2"), "prog", at("record"));
    usePath(testing_support::pathList({"", "", at("d2"), ""}));
    EXPECT_EQ(runProgram("prog", {}, nullptr), 0);
    EXPECT_TRUE(exists(at("record")));
}

TEST_F(RunProgramTest, ArgumentsArriveOneByOneWithSpacesKeptAndEmptyOnesLeftOut) {
    recordingStandIn(at("bin"), "prog", at("record"));
    usePath(at("bin"));
    EXPECT_EQ(runProgram("prog", {"-o", "-C", "/home/ann/My Mail/a.zip", "", "b 1.msg", "50%s"}, nullptr), 0);
    EXPECT_EQ(readFile(at("record")), "-o\n-C\n/home/ann/My Mail/a.zip\nb 1.msg\n50%s\n");
}

TEST_F(RunProgramTest, ReturnsTheExitStatusOfTheProgram) {
    recordingStandIn(at("bin"), "three", at("r3"), 3);
    recordingStandIn(at("bin"), "one", at("r1"), 1);
    usePath(at("bin"));
    EXPECT_EQ(runProgram("three", {}, nullptr), 3);
    EXPECT_EQ(runProgram("one", {}, nullptr), 1);
}

TEST_F(RunProgramTest, ProgramFoundNowhereGivesOneAfterTheSpawnLine) {
    testing_support::makeDirectories(at("empty1"));
    testing_support::makeDirectories(at("empty2"));
    usePath(testing_support::pathList({at("empty1"), at("empty2")}));
    ::testing::internal::CaptureStdout();
    int status = runProgram("no-such-program", {"-h"}, nullptr);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "_spawnv failed, errno: 2\n");
}

TEST_F(RunProgramTest, WithoutPathNothingStarts) {
    testing_support::unsetEnvironment("PATH");
    ::testing::internal::CaptureStdout();
    int status = runProgram("sh", {}, nullptr);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out.rfind("_spawnv failed, errno: ", 0), 0u) << out;
}

TEST_F(RunProgramTest, InputFileBecomesTheProgramsStandardInput) {
    recordingStandIn(at("bin"), "prog", at("record"));
    usePath(at("bin"));
    writeFile(at("list.tmp"), "./a.act/in.fld/1.msg\nbackup.bag\n");
    EXPECT_EQ(runProgram("prog", {"-@"}, "list.tmp"), 0);
    EXPECT_EQ(readFile(at("record.in")), "./a.act/in.fld/1.msg\nbackup.bag\n");
}

TEST_F(RunProgramTest, DebugLogRecordsEveryCallWhenSwitchedOn) {
    recordingStandIn(at("bin"), "unzip", at("record"));
    usePath(at("bin"));
    writeFile(at("in.lst"), "x\n");
    EXPECT_EQ(runProgram("unzip", {"-q", "-o", "-C", "a.zip", "", "backup.bag"}, nullptr), 0);
    EXPECT_FALSE(exists(at("archiver.dbg"))) << "the log needs ARCHIVER_DEBUG";

    testing_support::setEnvironment("ARCHIVER_DEBUG", "");  // set, whatever its value
    EXPECT_EQ(runProgram("unzip", {"-q", "-o", "-C", "a.zip", "", "backup.bag"}, nullptr), 0);
    EXPECT_EQ(runProgram("unzip", {"-l", "My Mail.zip"}, "in.lst"), 0);
    EXPECT_EQ(testing_support::readTextFile(at("archiver.dbg")),
              "bfr: [unzip]\nargs: [-q -o -C a.zip backup.bag]\ninput: [(null)]\n\n"
              "bfr: [unzip]\nargs: [-l My Mail.zip]\ninput: [in.lst]\n\n");
}

TEST_F(RunProgramTest, InputThatCannotBecomeStandardInputEndsTheProcessWithTwo) {
    recordingStandIn(at("bin"), "prog", at("record"));
    usePath(at("bin"));
    testing_support::setEnvironment("ARCHIVER_DEBUG", "1");
    ::testing::internal::CaptureStdout();
    EXPECT_EXIT(runProgram("prog", {}, "missing.tmp"), ::testing::ExitedWithCode(2), "");
    std::string out = ::testing::internal::GetCapturedStdout();
#ifndef _WIN32  // a Windows death test runs in a process of its own, with its own output
    EXPECT_NE(out.find("Error reopening stdin\n"), std::string::npos) << out;
#endif
    EXPECT_EQ(testing_support::readTextFile(at("archiver.dbg")),
              "bfr: [prog]\nargs: []\ninput: [missing.tmp]\n\nError reopening stdin\n");
    EXPECT_FALSE(exists(at("record"))) << "the program must not have been started";
}

}  // namespace
