// The date cut-off as it is read: a run that would delete by a date read
// otherwise than written, or lying after today, is refused before anything
// is written; dry runs and restores say how the date was read and go on.
// Four-digit dates work as they always did.
//
// Two-digit years fall in today's century, so the expected texts are made
// from the clock; every date that must lie after today is decades away,
// and the misread ones are refused for being misread whatever the year.
#include "../ldt/ldt_test_clock.h"
#include "archiver_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace testing_support;
using Args = std::vector<std::string>;

// "CCyy" + rest for a two-digit year yy of today's century.
std::string inThisCentury(int yy, const std::string& rest) { return std::to_string(testCentury() + yy) + rest; }

std::string misread(const std::string& typed, const std::string& taken) {
    return "Date cut-off " + typed + " is read as " + taken +
           ", not as year/month/day: nothing is archived or deleted. Write the year with four digits (yyyy/mm/dd).";
}
std::string future(const std::string& typed, const std::string& taken) {
    return "Date cut-off " + typed + " is read as " + taken +
           ", after today: nothing is archived or deleted. Write the year with four digits (yyyy/mm/dd).";
}

std::string shown(const Args& args) {
    std::string text = "archiver";
    for (const std::string& a : args) text += " " + a;
    return text;
}

// One folder: 1.msg saved in 1998, 2.msg saved now; both dated 1998 in
// their Date header (so /D with any later date selects both).
class CutOff : public StoreRun {
protected:
    void SetUp() override {
        store().account("work.act", "Work").folder("work.act/inbox.fld", "Inbox");
        message("work.act/inbox.fld/1.msg", "Old", "a@x.example");
        message("work.act/inbox.fld/2.msg", "New", "b@x.example");
        store().file("work.act/inbox.fld/folder.bag", builtLine("Old", "a@x.example", "a@x.example", "1.msg") +
                                                         builtLine("New", "b@x.example", "b@x.example", "2.msg"));
        setModifyTime(at("work.act/inbox.fld/1.msg"), 900000000);  // July 1998
    }

    // Refused: the code and text on standard error, before the banner, and
    // the whole main directory (where the archive would go) as it was.
    void expectRefused(const Args& args, const std::string& err) {
        const auto before = snapshot(mainDir());
        const RunResult r = archiver(args);
        EXPECT_EQ(r.status, 1) << shown(args);
        EXPECT_EQ(r.err, err) << shown(args);
        EXPECT_FALSE(hasBanner(r)) << shown(args);
        EXPECT_EQ(snapshot(mainDir()), before) << shown(args);
    }

    // A dry run: the warning, then the run goes on and lists both messages.
    void expectDryRunWarns(const Args& args, const std::string& warning) {
        const auto before = snapshot(mainDir());
        const RunResult r = archiver(args);
        EXPECT_EQ(r.status, 0) << shown(args) << r.err;
        EXPECT_EQ(r.err, warning + "\n") << shown(args);
        EXPECT_NE(r.out.find("\nTotal of 4 files to be archived\n"), std::string::npos) << shown(args) << r.out;
        auto after = snapshot(mainDir());
        EXPECT_EQ(after.erase("archive.tmp"), 1u) << shown(args);
        EXPECT_EQ(after, before) << shown(args);
        std::remove(at("archive.tmp").c_str());
    }
};

TEST_F(CutOff, DeletingByAMisreadOrFutureDateIsRefused) {
    expectRefused({"/D", "25/06/30", "/N"}, "[2424]: " + misread("25/06/30", inThisCentury(30, "/06/25")));
    expectRefused({"/D", "99/12/31", "/N"}, "[2422]: " + future("99/12/31", inThisCentury(99, "/12/31")));
    expectRefused({"/D", "01/02/03", "/N"}, "[2424]: " + misread("01/02/03", inThisCentury(3, "/01/02")));
    // By saved time too, with verbose output, and a four-digit year after today.
    expectRefused({"/V", "1", "/N", "/d", "01/02/03"}, "[2424]: " + misread("01/02/03", inThisCentury(3, "/01/02")));
    expectRefused({"/d", "2999/01/01", "/t", "10:00", "/N"}, "[2422]: " + future("2999/01/01", "2999/01/01"));
    // Month first, in this century, but no date year first: taken as read.
    expectRefused({"/d", "07/14/98", "/N"}, "[2422]: " + future("07/14/98", inThisCentury(98, "/07/14")));
}

TEST_F(CutOff, DryRunsSayHowTheDateWasReadAndGoOn) {
    expectDryRunWarns({"/V", "3", "/D", "25/06/30", "/N"},
                      "[2428]: Date cut-off 25/06/30 is read as " + inThisCentury(30, "/06/25") +
                          ", not as year/month/day");
    expectDryRunWarns({"/V", "3", "/D", "99/12/31", "/N"},
                      "[2426]: Date cut-off 99/12/31 is read as " + inThisCentury(99, "/12/31") + ", after today");
    expectDryRunWarns({"/V", "3", "/D", "01/02/03", "/N"},
                      "[2428]: Date cut-off 01/02/03 is read as " + inThisCentury(3, "/01/02") +
                          ", not as year/month/day");

    // Verbose 2 archives but never deletes: warned, archived, nothing removed.
    const auto before = snapshot(mainDir());
    const RunResult r = archiver({"/V", "2", "/N", "/D", "99/12/31"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "[2426]: Date cut-off 99/12/31 is read as " + inThisCentury(99, "/12/31") + ", after today\n");
    auto after = snapshot(mainDir());
    EXPECT_EQ(after.erase("ARCHIV00.zip"), 1u);
    EXPECT_EQ(after, before);
}

TEST_F(CutOff, FourDigitDatesDeleteAsBefore) {
    RunResult r = archiver({"/d", "1998/07/14", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(zipMembers(at("ARCHIV00.zip")),
              (Args{"work.act/acct.ini", "work.act/inbox.fld/folder.ini", "work.act/inbox.fld/1.msg", "backup.bag"}));
    EXPECT_FALSE(exists(at("work.act/inbox.fld/1.msg")));
    EXPECT_TRUE(exists(at("work.act/inbox.fld/2.msg")));

    r = archiver({"/D", "2025/06/30", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(exists(at("ARCHIV01.zip")));
    EXPECT_FALSE(exists(at("work.act/inbox.fld/2.msg")));
}

TEST_F(CutOff, TodayWithATimeIsNoFutureDate) {
    // Taken before the run starts, so the run's today is never earlier.
    const std::tm now = localFields(std::time(nullptr));
    char today[40];
    std::snprintf(today, sizeof today, "%04d/%02d/%02d", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
    const RunResult r = archiver({"/d", today, "/t", "23:59", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(exists(at("work.act/inbox.fld/1.msg")));
    EXPECT_FALSE(exists(at("work.act/inbox.fld/2.msg")));
}

TEST_F(CutOff, ConfigurationFileDatesFollowTheSameRules) {
    store().file("archive.cfg", "dateCutOff 99/12/31\ndelete\n");
    expectRefused({}, "[2422]: " + future("99/12/31", inThisCentury(99, "/12/31")));
    store().file("archive.cfg", "messageDateCutOff 01/02/03\ndelete\n");
    expectRefused({}, "[2424]: " + misread("01/02/03", inThisCentury(3, "/01/02")));
    store().file("archive.cfg", "-D 25/06/30 -N\n");
    expectRefused({}, "[2424]: " + misread("25/06/30", inThisCentury(30, "/06/25")));

    store().file("archive.cfg", "delete\nverbose 3\nmessageDateCutOff 25/06/30\n");
    expectDryRunWarns({}, "[2428]: Date cut-off 25/06/30 is read as " + inThisCentury(30, "/06/25") +
                              ", not as year/month/day");

    // The command line's date is the one in force: the file's is only checked.
    store().file("archive.cfg", "dateCutOff 99/12/31\ndelete\n");
    RunResult r = archiver({"/d", "1998/07/14"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(exists(at("work.act/inbox.fld/1.msg")));
    EXPECT_TRUE(exists(at("work.act/inbox.fld/2.msg")));

    store().file("archive.cfg", "messageDateCutOff 2025/06/30\ndelete\n");
    r = archiver({});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(exists(at("work.act/inbox.fld/2.msg")));
}

TEST_F(CutOff, RestoreSelectionWarnsAndOtherJobsSayNothing) {
    RunResult r = archiver({"/D", "2025/06/30", "/N", "saved.zip"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_FALSE(exists(at("work.act/inbox.fld/1.msg")));

    // The restore deletes nothing, so /N does not make the date an error.
    r = archiver({"/r", "/o", "/N", "/D", "99/12/31", "saved.zip"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "[2426]: Date cut-off 99/12/31 is read as " + inThisCentury(99, "/12/31") + ", after today\n");
    EXPECT_TRUE(exists(at("work.act/inbox.fld/1.msg")));
    EXPECT_TRUE(exists(at("work.act/inbox.fld/2.msg")));

    // The reindex selects nothing by date.
    r = archiver({"/I", "/N", "/d", "01/02/03"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
}

}  // namespace
