// The command line, end to end: numbered names, usage errors and the
// numbered errors of the start-up checks.
#include "archiver_run.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

using namespace testing_support;

TEST(CommandLine, DefaultArchiveNameIsTheFirstFreeNumber) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"/V", "4"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(beforeBanner(r), "Archive file: ARCHIV00.zip\n");

    writeFile(t / "ARCHIV00.zip", "old");
    r = runArchiver(t.path(), {"/V", "4"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(listing(r).find("Archive file name: ARCHIV01.zip\n"), std::string::npos) << r.out;
}

TEST(CommandLine, WithMainDirectoryTheArchiveIsNumberedInTheStartDirectory) {
    TempDir t;
    StoreBuilder store(t / "velmor");
    const std::string start = t / "start";
    testing_support::makeDirectories(start);
    writeFile(start + "/ARCHIV00.zip", "yesterday");

    RunResult r = runArchiver(start, {"/V", "4", "/p", store.mainDir()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(listing(r).find("Archive file name: ARCHIV01.zip\n"), std::string::npos) << r.out;
    EXPECT_EQ(readFile(start + "/ARCHIV00.zip"), "yesterday");

    // An archive in the main directory is not where this one goes.
    writeFile(store.mainDir() + "/ARCHIV01.zip", "other");
    r = runArchiver(start, {"/V", "4", "/p", store.mainDir()});
    EXPECT_NE(listing(r).find("Archive file name: ARCHIV01.zip\n"), std::string::npos) << r.out;

    // An explicit name that exists where the archive goes.
    r = runArchiver(start, {"/p", store.mainDir(), "ARCHIV00.zip"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[2012]: Archive file already exists!");
    EXPECT_FALSE(hasBanner(r));
    // The same name only in the main directory is no conflict.
    r = runArchiver(start, {"/V", "4", "/p", store.mainDir(), "ARCHIV01"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(listing(r).find("Archive file name: ARCHIV01.zip\n"), std::string::npos) << r.out;
}

TEST(CommandLine, ScheduledRunFromAFixedDirectoryNeverReusesYesterdaysArchive) {
    TempDir t;
    StoreBuilder store(t / "velmor");
    store.account("work.act", "Work").folder("work.act/inbox.fld", "Inbox");
    store.message("work.act/inbox.fld/1.msg",
                  {"Date: Tue, 14 Jul 1998 11:39:10 +0000", "From: a@x.example", "To: b@x.example", "Subject: Hi"});
    const std::string start = t / "start";
    testing_support::makeDirectories(start);
    writeFile(start + "/ARCHIV00.zip", "yesterday's archive");

    RunResult r = runArchiver(start, {"/p", store.mainDir()});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(readFile(start + "/ARCHIV00.zip"), "yesterday's archive");
    EXPECT_TRUE(exists(start + "/ARCHIV01.zip"));
    EXPECT_FALSE(exists(store.mainDir() + "/ARCHIV00.zip"));
    EXPECT_FALSE(exists(store.mainDir() + "/ARCHIV01.zip"));
}

TEST(CommandLine, ArchiveNameEndsTheOptions) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"/V", "4", "myarchive", "/r"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(listing(r).substr(0, 51), "Archive requested\nArchive file name: myarchive.zip\n");

    r = runArchiver(t.path(), {"/V", "4", "/r", "old.zip"});
    EXPECT_EQ(listing(r).substr(0, 46), "Restore requested\nArchive file name: old.zip\n\n");

    r = runArchiver(t.path(), {"/V", "4", "--", "-r"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(listing(r).find("Archive file name: -r.zip\n"), std::string::npos) << r.out;
}

TEST(CommandLine, ReportFileIsNumberedAndReceivesTheConsoleLines) {
    TempDir t;
    StoreBuilder store(t.path());
    writeFile(t / "archiv00.rpt", "kept");
    RunResult r = runArchiver(t.path(), {"/V", "4", "/O"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(beforeBanner(r), "Output file: archiv01.rpt\nArchive file: ARCHIV00.zip\n");
    EXPECT_EQ(readFile(t / "archiv00.rpt"), "kept");
    const std::string report = testing_support::readTextFile(t / "archiv01.rpt");
    EXPECT_NE(report.find("Archive file: ARCHIV00.zip\n"), std::string::npos) << report;
    EXPECT_NE(report.find("Archive requested\n"), std::string::npos) << report;

    r = runArchiver(t.path(), {"/V", "4", "/O", "out.rpt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(exists(t / "out.rpt"));
    EXPECT_NE(listing(r).find("Archive file name: ARCHIV00.zip\n"), std::string::npos) << r.out;

    r = runArchiver(t.path(), {"/O", "out.rpt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[1355]: Output file already exists!");
}

struct UsageCase {
    std::vector<std::string> args;
    std::string firstLine;  // "" for the usage text alone
};

TEST(CommandLine, UsageErrors) {
    TempDir t;
    StoreBuilder store(t.path());
    const std::vector<UsageCase> cases = {
        {{"/N", "/N"}, "option N specified multiple times"},
        {{"/D", "1998/07/01", "/d", "1998/08/01"}, "option d specified multiple times"},
        {{"/r", "/I"}, ""},
        {{"/I", "/r"}, "option r specified multiple times"},
        {{"/i", "/r"}, "option r specified multiple times"},
        {{"/I", "/I"}, "option I specified multiple times"},
        {{"/V", "0"}, "option V specified multiple times"},
        {{"/V", "5"}, "option V specified multiple times"},
        {{"/V", "x"}, "option V specified multiple times"},
        {{"/V", "99999999999999999999"}, "option V specified multiple times"},
        {{"/A", "7d"}, "option A specified multiple times"},
        {{"/A", "7", "/A", "8"}, "option A specified multiple times"},
        {{"/c", "none", "/c", "none"}, "option c specified multiple times"},
        {{"/q", "/q"}, "option q specified multiple times"},
        {{"/O", "a.rpt", "/O", "b.rpt"}, "option O specified multiple times"},
        {{"/Z", "x"}, ""},
        {{"-?"}, ""},
        {{"--help"}, ""},
        {{"//x", "/V", "4"}, ""},
    };
    for (const UsageCase& c : cases) {
        RunResult r = runArchiver(t.path(), c.args);
        const std::string shown = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_EQ(r.status, 1) << shown;
        EXPECT_TRUE(showsUsage(r)) << shown;
        EXPECT_FALSE(hasBanner(r)) << shown;
        if (c.firstLine.empty()) {
            EXPECT_EQ(r.out.substr(0, 8), "\n\nUsage:") << shown;
        } else {
            EXPECT_EQ(r.out.substr(0, c.firstLine.size() + 3), c.firstLine + "\n\n\n") << shown;
        }
    }
    // Help asked for with a long word never runs the default job.
    EXPECT_FALSE(exists(t / "archive.tmp"));
    EXPECT_FALSE(exists(t / "backup.bag"));
}

TEST(CommandLine, ScannerMessagesComeBeforeTheUsageText) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"/x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string(ARCHIVER_BIN) + ": illegal option -- x\n");
    EXPECT_EQ(r.out.substr(0, 8), "\n\nUsage:");

    r = runArchiver(t.path(), {"/V"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string(ARCHIVER_BIN) + ": option requires an argument -- V\n");
    EXPECT_TRUE(showsUsage(r));
}

TEST(CommandLine, InvalidTimeIsShownThenTheUsage) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"/d", "1998/07/14", "/t", "25:99"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(0, 48), "Invalid time specified for timeCutOff option\n\n\nU");
}

struct FatalCase {
    std::vector<std::string> args;
    std::string err;
};

TEST(CommandLine, NumberedStartUpErrorsComeBeforeTheBanner) {
    TempDir t;
    StoreBuilder store(t.path());
    const std::vector<FatalCase> cases = {
        {{"/t", "10:30"}, "[2416]: A date must be specified when a time is specified."},
        {{"/Q"}, "[2420]: Query mode is only valid when restoring files."},
        {{"/a", "missing.act"}, "[2449]: Specified account ./missing.act not found."},
        {{"/d", "1998/13/45"}, "[2247]: Invalid date!"},
        {{"/d", "tomorrow"}, "[2247]: Invalid date!"},
        {{"/p", t / "nowhere"},
         "[1943]: You are not in the Velmor directory, or have not specified the Velmor directory properly!"},
    };
    for (const FatalCase& c : cases) {
        RunResult r = runArchiver(t.path(), c.args);
        EXPECT_EQ(r.status, 1) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
        EXPECT_FALSE(hasBanner(r)) << c.args[0];
    }
}

TEST(CommandLine, MainDirectoryIsCheckedAfterTheBanner) {
    TempDir t;
    RunResult r = runArchiver(t.path(), {"/r", "x.zip"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(hasBanner(r));
    EXPECT_EQ(r.err, "[1943]: You are not in the Velmor directory, or have not specified the Velmor directory properly!");

    // The windowed client alone is found too, in any letter case.
    writeFile(t / "VelmorW.EXE", "x");
    testing_support::makeDirectories(t / "sub");
    r = runArchiver(t / "sub", {"/V", "4", "/p", t.path() + "/"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(CommandLine, CutOffDatesAndTimes) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"/V", "4", "/d", "1998/07/14", "/t", "10:30"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(listing(r).find("Date cut off: 1998\\07\\14\n\nTime cut off: 10:30\n\n"
                              "Date\\Time cut off: 1998\\7\\14   10:30\n\n"),
              std::string::npos)
        << r.out;

    // Without a year the date falls in 2000; without a time it ends at 23:59.
    r = runArchiver(t.path(), {"/V", "4", "/D", "07/14"});
    EXPECT_NE(listing(r).find("Use message date for date cutoff.\n\nDate cut off: 07\\14\n\n"
                              "Date\\Time cut off: 2000\\7\\14   23:59\n\n"),
              std::string::npos)
        << r.out;
}

TEST(CommandLine, FolderSelectorsTakeTheNestingInForce) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"/V", "4", "/n", "/f", "a.fld", "/f", "b.fld", "/n", "/f", "c.fld", "/G", "Inbox"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(listing(r).find("   Folder directory: a.fld,   Nesting: Yes\n\n"
                              "   Folder directory: b.fld,   Nesting: Yes\n\n"
                              "   Folder directory: c.fld,   Nesting: No\n\n"
                              "   Folder name: Inbox,   Nesting: No\n\n"),
              std::string::npos)
        << r.out;
}

TEST(CommandLine, PercentSignsPrintUnchanged) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"/V", "4", "/s", "100%s%n%d", "/F", "%x@y", "a%sb"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(listing(r).find("Archive file name: a%sb.zip\n"), std::string::npos) << r.out;
    EXPECT_NE(listing(r).find("Begin subject: 100%s%n%d\n"), std::string::npos) << r.out;
    EXPECT_NE(listing(r).find("From address: %x@y\n"), std::string::npos) << r.out;
}

int dayOfWeekToday() {
    return testing_support::localFields(std::time(nullptr)).tm_wday;
}

TEST(CommandLine, ArchiveDayOtherThanTodayEndsQuietly) {
    static const char* const days[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    TempDir t;
    StoreBuilder store(t.path());
    writeFile(t / "archive.cfg", std::string("archiveDay ") + days[(dayOfWeekToday() + 3) % 7] + "\n");
    RunResult r = runArchiver(t.path(), {});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Today is not the specified archive day, exiting\n");

    // The listing is no archive run: it ignores the day.
    r = runArchiver(t.path(), {"/V", "4"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(hasBanner(r));
}

}  // namespace
