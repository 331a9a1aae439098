#include "diagnostics.h"
#include "platform.h"
#include "settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace testing_support;

namespace {

class Diagnostics : public ::testing::Test {
protected:
    void SetUp() override { settings.outputFileName = nullptr; }
    void TearDown() override { settings.outputFileName = nullptr; }
    TempDir dir_;
    CurrentDirectory here_{dir_.path()};
};

}  // namespace

TEST_F(Diagnostics, ConsoleLineNormalisesAndCopiesToTheReportFile) {
    settings.outputFileName = "report.rpt";
    ::testing::internal::CaptureStdout();
    char text[] = "Date/Time cut off: 1998/7/14   23:59";
    consoleLine(text);
    consoleLinef("value %s and %d", "100%s", 5);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Date\\Time cut off: 1998\\7\\14   23:59\nvalue 100%s and 5\n");
    EXPECT_STREQ(text, "Date\\Time cut off: 1998\\7\\14   23:59");
    EXPECT_EQ(readTextFile(dir_ / "report.rpt"), "Date\\Time cut off: 1998\\7\\14   23:59\nvalue 100%s and 5\n");
}

TEST_F(Diagnostics, WithoutReportFileNothingIsWritten) {
    ::testing::internal::CaptureStdout();
    consoleLinef("hello");
    ::testing::internal::GetCapturedStdout();
    ::testing::internal::CaptureStderr();
    reportWarning(3860, "CHMOD error [%d] on file [%s]", 13, "x");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[3860]: CHMOD error [13] on file [x]\n");
    EXPECT_TRUE(listDirectory(dir_.path()).empty());
}

TEST_F(Diagnostics, LongMessagesAreCutToTheBuffer) {
    ::testing::internal::CaptureStdout();
    consoleLinef("%s", std::string(1000, 'a').c_str());
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, std::string(lineBufferSize - 1, 'a') + "\n");
}

TEST_F(Diagnostics, FatalErrorReportsCleansUpAndExitsWithOne) {
    settings.outputFileName = "r.rpt";
    writeFile(dir_ / "backup.bag", "x");
    writeFile(dir_ / "archive.tmp", "x");
    EXPECT_EXIT(fatalError(4006, "No directories selected by name!"), ::testing::ExitedWithCode(1),
                "^\\[4006\\]: No directories selected by name!$");
    EXPECT_EQ(readTextFile(dir_ / "r.rpt"), "[4006]: No directories selected by name!\n");
    EXPECT_FALSE(exists(dir_ / "backup.bag"));
    EXPECT_FALSE(exists(dir_ / "archive.tmp"));
    // a "%" in a value is printed as it is
    EXPECT_EXIT(fatalError(2449, "Specified account %s not found.", "./%d%s.act"), ::testing::ExitedWithCode(1),
                "^\\[2449\\]: Specified account \\./%d%s\\.act not found\\.$");
}

#ifdef _WIN32
// Ctrl+C and Ctrl+Break come through the console (the platform's tests have
// them); the C runtime's signals take the same road to the handler.
const platform::Signal firstSignal = platform::Signal::terminate, secondSignal = platform::Signal::abort;
const int firstNumber = SIGTERM, secondNumber = SIGABRT;
#else
const platform::Signal firstSignal = platform::Signal::interrupt, secondSignal = platform::Signal::breakKey;
const int firstNumber = SIGINT, secondNumber = SIGQUIT;
#endif

TEST_F(Diagnostics, InterruptWritesTheFixedTextAndRemovesTemporaryFiles) {
    settings.outputFileName = "int.rpt";
    rememberReportFile();
    writeFile(dir_ / "backup.bag", "x");
    writeFile(dir_ / "archive.tmp", "x");
    EXPECT_EXIT(
        {
            platform::installSignalHandler(firstSignal, onInterrupt);
            raise(firstNumber);
            _exit(7);
        },
        ::testing::ExitedWithCode(1), "^\\[4858\\]: \n\n\\*\\*\\* Program interrupted by user \\*\\*\\*$");
    EXPECT_EQ(readTextFile(dir_ / "int.rpt"), "[4858]: \n\n*** Program interrupted by user ***\n");
    EXPECT_FALSE(exists(dir_ / "backup.bag"));
    EXPECT_FALSE(exists(dir_ / "archive.tmp"));
    EXPECT_EXIT(
        {
            platform::installSignalHandler(secondSignal, onInterrupt);
            raise(secondNumber);
            _exit(7);
        },
        ::testing::ExitedWithCode(1), "Program interrupted by user");
}
