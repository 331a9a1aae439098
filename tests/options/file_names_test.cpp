// Numbered names and the age cut-off, on the settings record directly.
#include "options.h"
#include "settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

using testing_support::TempDir;
using testing_support::writeFile;

class FileNames : public testing::Test {
protected:
    void SetUp() override {
        settings.startDir = dir.path().c_str();
        settings.verbose = 0;
        settings.archiveFile = nullptr;
        settings.outputFileName = nullptr;
    }
    void TearDown() override {
        settings.archiveFile = nullptr;
        settings.outputFileName = nullptr;
        settings.startDir = nullptr;
    }
    std::string archiveNamed(const char* name) {
        settings.archiveFile = name;
        numberFileName(NumberedName::archiveFile);
        return settings.archiveFile;
    }
    TempDir dir;
};

TEST_F(FileNames, QuestionMarksBecomeOneZeroPaddedField) {
    EXPECT_EQ(archiveNamed("ARCHIV??.zip"), "ARCHIV00.zip");
    EXPECT_EQ(archiveNamed("AR?CH?.zip"), "AR00CH.zip");
    EXPECT_EQ(archiveNamed("A???.zip"), "A000.zip");
}

TEST_F(FileNames, FirstFreeNumberInTheStartDirectory) {
    writeFile(dir / "ARCHIV00.zip", "x");
    writeFile(dir / "archiv01.ZIP", "x");  // found without regard to case
    EXPECT_EQ(archiveNamed("ARCHIV??.zip"), "ARCHIV02.zip");
}

TEST_F(FileNames, OneQuestionMarkCountsOnPastNine) {
    for (int i = 0; i < 10; ++i) writeFile(dir / ("B" + std::to_string(i) + ".zip"), "x");
    EXPECT_EQ(archiveNamed("B?.zip"), "B10.zip");
}

TEST_F(FileNames, AbsoluteNamesAreLookedForWhereTheyPoint) {
    TempDir elsewhere;
    writeFile(elsewhere / "C00.zip", "x");
    const std::string pattern = elsewhere.path() + "/C??.zip";
    EXPECT_EQ(archiveNamed(pattern.c_str()), elsewhere.path() + "/C01.zip");
    EXPECT_EQ(archiveFilePath("x.zip"), dir.path() + "/x.zip");
    EXPECT_EQ(archiveFilePath("\\abs\\x.zip"), "\\abs\\x.zip");
    EXPECT_EQ(archiveFilePath("D:x.zip"), "D:x.zip");
}

TEST_F(FileNames, ZipSuffixOnlyWhenMissing) {
    EXPECT_EQ(archiveNamed("report"), "report.zip");
    EXPECT_EQ(archiveNamed("SAVE.ZIP"), "SAVE.ZIP");
    EXPECT_EQ(archiveNamed("zip"), "zip.zip");
    EXPECT_EQ(archiveNamed("x.zip?"), "x.zip0.zip");
    EXPECT_EQ(archiveNamed("100%d.zip"), "100%d.zip");
}

TEST_F(FileNames, ReportNameGetsNoSuffix) {
    const std::string pattern = dir.path() + "/archiv??.rpt";
    writeFile(dir / "archiv00.rpt", "x");
    settings.outputFileName = pattern.c_str();
    numberFileName(NumberedName::outputFileName);
    EXPECT_EQ(std::string(settings.outputFileName), dir.path() + "/archiv01.rpt");
}

TEST_F(FileNames, AllHundredTakenKeepsNinetyNineAndFails) {
    for (int i = 0; i < 100; ++i) writeFile(dir / ("D" + std::to_string(100 + i).substr(1) + ".zip"), "x");
    EXPECT_EXIT(archiveNamed("D??.zip"), testing::ExitedWithCode(1), "^\\[2012\\]: Archive file already exists!$");
}

TEST_F(FileNames, ExistingNamesWithoutNumberFail) {
    writeFile(dir / "keep.zip", "x");
    EXPECT_EXIT(archiveNamed("keep"), testing::ExitedWithCode(1), "^\\[2012\\]: Archive file already exists!$");
    const std::string report = dir.path() + "/out.rpt";
    writeFile(report, "x");
    settings.outputFileName = report.c_str();
    EXPECT_EXIT(numberFileName(NumberedName::outputFileName), testing::ExitedWithCode(1),
                "^\\[1355\\]: Output file already exists!$");
}

std::tm localFields(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    std::mktime(&t);
    return t;
}

void expectAge(const char* days, std::tm start, int year, int month, int day) {
    settings.fileAge = nullptr;
    settings.ageFields = start;
    setFileAge(days);
    const std::tm got = testing_support::localFields(settings.ageCutOffTime);
    EXPECT_EQ(got.tm_year + 1900, year) << days;
    EXPECT_EQ(got.tm_mon + 1, month) << days;
    EXPECT_EQ(got.tm_mday, day) << days;
    EXPECT_EQ(got.tm_hour, start.tm_hour) << days;
    EXPECT_EQ(got.tm_min, start.tm_min) << days;
    EXPECT_EQ(got.tm_sec, start.tm_sec) << days;
    EXPECT_STREQ(settings.fileAge, days);
}

TEST(FileAge, CalendarDaysBackAtTheSameTimeOfDay) {
    expectAge("7", localFields(2001, 1, 3, 10, 20, 30), 2000, 12, 27);
    expectAge("1", localFields(2000, 3, 1, 0, 0, 5), 2000, 2, 29);
    expectAge("0", localFields(1999, 6, 15, 23, 59, 59), 1999, 6, 15);
    expectAge("366", localFields(2001, 1, 1, 12, 0, 0), 2000, 1, 1);
    // A configuration option line does not check its digits: the leading
    // ones count.
    expectAge("31x", localFields(2002, 4, 1, 8, 0, 0), 2002, 3, 1);
    EXPECT_EQ(settings.fileAgeDays, 31);
}

TEST(FileAge, HugeAgesStayDefined) {
    settings.fileAge = nullptr;
    settings.ageFields = localFields(2001, 1, 3, 10, 20, 30);
    setFileAge("99999999999999999999");
    EXPECT_GT(settings.fileAgeDays, 0);
}

}  // namespace
