// The restore job end to end: the built archiver with the real unzip on a
// store in a temporary directory, from archives laid out here and packed
// with the real zip (so that backup.bag can also say what no archive job
// would write).
#include "restore.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <string>
#include <vector>

namespace ts = testing_support;

namespace {

const std::string restoredFilesIni =
    "Restored Files\xDE" "1000\xDE" "1\xDE" "0;1;2;3;4;5;6;7;8;9\xDE" "1\xDE" "1\xDE" "1\xDE" "0\xDE\n";

// An index line as backup.bag holds it (`path` is the whole path) or as
// folder.bag holds it (the file name alone).
std::string indexLine(const std::string& path, const std::string& subject = "Hello",
                      const std::string& from = "from@x") {
    return ts::indexLine({"5", "7", "07/14/98", "11:39", subject, "to@x", "To Name", from, "From Name", "1K", path});
}

std::string messageText(const std::string& subject) { return "Subject: " + subject + "\n\nBody of " + subject + "\n"; }

std::string folderIni(const std::string& name) { return name + "\xDE" "archived settings\xDE\n"; }

std::size_t countOf(const std::string& haystack, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
    return n;
}

class Restore : public ::testing::Test {
protected:
    // A message of the archive: its file, and its line in backup.bag.
    void archived(const std::string& path, const std::string& subject, const std::string& from = "from@x") {
        member(path, messageText(subject));
        entry("./" + path, subject, from);
    }
    void member(const std::string& path, const std::string& bytes) { ts::writeFile(stage + "/" + path, bytes); }
    void entry(const std::string& path, const std::string& subject = "Hello", const std::string& from = "from@x") {
        bag += indexLine(path, subject, from);
    }
    // Packs the stage into the archive, with backup.bag unless told not to.
    void pack(bool withBackupBag = true) {
        if (withBackupBag) ts::writeFile(stage + "/backup.bag", bag);
        ts::RunOptions o;
        o.workDir = stage;
#ifdef _WIN32  // Windows's zip keeps no links
        auto r = ts::run(ts::findProgram("zip"), {"-q", "-r", archive, "."}, o);
#else
        auto r = ts::run("/bin/sh", {"-c", "exec zip -q -r -y \"$0\" .", archive}, o);
#endif
        ASSERT_EQ(r.status, 0) << r.err;
    }
    ts::RunResult archiver(std::vector<std::string> args, const std::string& input = "") {
        ts::RunOptions o;
        o.input = input;
        return ts::runArchiver(mainDir, args, o);
    }
    ts::RunResult restore(std::vector<std::string> options, const std::string& input = "") {
        std::vector<std::string> args{"/r"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back("../a.zip");  // a name beginning with "/" would be an option
        return archiver(args, input);
    }
    std::string at(const std::string& path) const { return mainDir + "/" + path; }
    std::string read(const std::string& path) const { return ts::readFile(at(path)); }

    ts::TempDir tmp;
    const std::string mainDir = tmp / "velmor";
    const std::string stage = tmp / "stage";
    const std::string archive = tmp / "a.zip";
    ts::StoreBuilder store{mainDir};
    std::string bag;
};

TEST_F(Restore, IntoRestoredFilesOfTheAccount) {
    store.account("work.act", "Work").folder("work.act/inbox.fld", "Inbox");
    member("work.act/acct.ini", "archived acct.ini");
    member("work.act/inbox.fld/folder.ini", folderIni("Inbox"));
    archived("work.act/inbox.fld/12.msg", "First");
    archived("work.act/inbox.fld/13.msg", "Second");
    pack();

    auto r = restore({});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(read("work.act/restore.fld/folder.ini"), restoredFilesIni);
    EXPECT_EQ(read("work.act/restore.fld/inbox.fld/folder.ini"), folderIni("Inbox"));
    EXPECT_EQ(read("work.act/restore.fld/inbox.fld/12.msg"), messageText("First"));
    EXPECT_EQ(read("work.act/restore.fld/inbox.fld/13.msg"), messageText("Second"));
    EXPECT_EQ(read("work.act/restore.fld/inbox.fld/folder.bag"), indexLine("12.msg", "First") + indexLine("13.msg", "Second"));
    // The original folder and the account are left as they were.
    EXPECT_FALSE(ts::exists(at("work.act/inbox.fld/12.msg")));
    EXPECT_NE(read("work.act/acct.ini"), "archived acct.ini");
    EXPECT_FALSE(ts::exists(at("backup.bag")));
    EXPECT_EQ(r.err, "");
}

TEST_F(Restore, IntoTheOriginalFolderAppendingToItsIndex) {
    const std::string existing = indexLine("12.msg", "Old copy");
    store.account("work.act", "Work").folder("work.act/inbox.fld", "Inbox").file("work.act/inbox.fld/folder.bag", existing);
    member("work.act/inbox.fld/folder.ini", folderIni("Archived name"));
    archived("work.act/inbox.fld/12.msg", "First");
    pack();

    auto r = restore({"/o"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(read("work.act/inbox.fld/12.msg"), messageText("First"));
    // No duplicate check: the line is appended after the one already there.
    EXPECT_EQ(read("work.act/inbox.fld/folder.bag"), existing + indexLine("12.msg", "First"));
    EXPECT_NE(read("work.act/inbox.fld/folder.ini"), folderIni("Archived name"));  // never replaced
    EXPECT_FALSE(ts::exists(at("work.act/restore.fld")));
}

TEST_F(Restore, FindsExistingDirectoriesWhateverTheirCase) {
    store.account("Work.ACT", "Work").folder("Work.ACT/Inbox.FLD", "Inbox");
    member("Work.act/Inbox.fld/folder.ini", folderIni("Inbox"));
    archived("Work.act/Inbox.fld/12.msg", "First");
    pack();

    auto r = restore({"/o"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(read("Work.ACT/Inbox.FLD/12.msg"), messageText("First"));
    EXPECT_EQ(read("Work.ACT/Inbox.FLD/folder.bag"), indexLine("12.msg", "First"));
    EXPECT_EQ(ts::listDirectory(mainDir), (std::vector<std::string>{"Work.ACT", "velmor.exe"}));

    r = restore({});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(read("Work.ACT/restore.fld/inbox.fld/12.msg"), messageText("First"));
    EXPECT_EQ(ts::listDirectory(at("Work.ACT")), (std::vector<std::string>{"Inbox.FLD", "acct.ini", "restore.fld"}));
}

TEST_F(Restore, NestedFoldersAreCreatedLevelByLevelWithTheirSettings) {
    store.account("a.act", "A");
    member("a.act/f.fld/folder.ini", folderIni("F"));
    member("a.act/f.fld/g.fld/folder.ini", folderIni("G"));
    archived("a.act/f.fld/g.fld/1.msg", "Deep");
    pack();

    auto r = restore({"/o"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(read("a.act/f.fld/folder.ini"), folderIni("F"));
    EXPECT_EQ(read("a.act/f.fld/g.fld/folder.ini"), folderIni("G"));
    EXPECT_EQ(read("a.act/f.fld/g.fld/1.msg"), messageText("Deep"));
    EXPECT_EQ(read("a.act/f.fld/g.fld/folder.bag"), indexLine("1.msg", "Deep"));
    EXPECT_FALSE(ts::exists(at("a.act/f.fld/folder.bag")));

    r = restore({});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(read("a.act/restore.fld/f.fld/folder.ini"), folderIni("F"));
    EXPECT_EQ(read("a.act/restore.fld/f.fld/g.fld/folder.ini"), folderIni("G"));
    EXPECT_EQ(read("a.act/restore.fld/f.fld/g.fld/1.msg"), messageText("Deep"));
}

TEST_F(Restore, AMissingAccountIsRecreatedWithItsAcctIni) {
    std::string acct(512, '\0');
    acct += "Gone Account";
    acct += std::string(40, '\0');
    member("gone.act/acct.ini", acct);
    member("gone.act/in.fld/folder.ini", folderIni("In"));
    archived("gone.act/in.fld/1.msg", "Back");
    pack();

    auto r = restore({"/V", "1"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(read("gone.act/acct.ini"), acct);
    EXPECT_EQ(read("gone.act/restore.fld/folder.ini"), restoredFilesIni);
    EXPECT_EQ(read("gone.act/restore.fld/in.fld/1.msg"), messageText("Back"));
    EXPECT_NE(r.out.find("Restoring Files\n"), std::string::npos) << r.out;
    const std::size_t recreate = r.out.find("Recreating account directory: gone.act\n");
    const std::size_t ini = r.out.find("Restoring account ini file: gone.act\\acct.ini\n");
    const std::size_t file = r.out.find("Restoring file: .\\gone.act\\in.fld\\1.msg  to  gone.act\\restore.fld\\in.fld\n");
    ASSERT_NE(recreate, std::string::npos) << r.out;
    ASSERT_NE(ini, std::string::npos) << r.out;
    ASSERT_NE(file, std::string::npos) << r.out;
    EXPECT_LT(recreate, ini);
    EXPECT_LT(ini, file);
}

// Round trips through the archive job: archive and delete, then restore.
TEST_F(Restore, RoundTripThroughTheArchiveJob) {
    const std::vector<std::string> headers = {"From: Ann <ann@x>", "To: bob@x", "Subject: Round trip",
                                              "Date: Tue, 14 Jul 1998 11:39:10 +0000"};
    store.account("work.act", "Work")
        .folder("work.act/inbox.fld", "Inbox")
        .folder("work.act/inbox.fld/sub.fld", "Sub")
        .message("work.act/inbox.fld/1.msg", headers, "one\n")
        .message("work.act/inbox.fld/2.msg", headers, "two\n")
        .message("work.act/inbox.fld/sub.fld/3.msg", headers, "three\n");
    const auto before = ts::snapshot(mainDir);

    auto r = archiver({"/N", "rt.zip"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_FALSE(ts::exists(at("work.act/inbox.fld/1.msg")));

    r = archiver({"/r", "rt.zip"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (const char* m : {"inbox.fld/1.msg", "inbox.fld/2.msg", "inbox.fld/sub.fld/3.msg"})
        EXPECT_EQ(read(std::string("work.act/restore.fld/") + m), before.at(std::string("work.act/") + m)) << m;
    EXPECT_EQ(read("work.act/restore.fld/folder.ini"), restoredFilesIni);
    EXPECT_EQ(read("work.act/restore.fld/inbox.fld/folder.ini"), before.at("work.act/inbox.fld/folder.ini"));
    EXPECT_EQ(read("work.act/restore.fld/inbox.fld/sub.fld/folder.ini"), before.at("work.act/inbox.fld/sub.fld/folder.ini"));
    const std::string inboxIndex = read("work.act/restore.fld/inbox.fld/folder.bag");
    EXPECT_EQ(countOf(inboxIndex, "\n"), 2u) << inboxIndex;
    EXPECT_NE(inboxIndex.find("\xDE" "Round trip\xDE"), std::string::npos) << inboxIndex;
    EXPECT_NE(inboxIndex.find("\xDE" "1.msg\xDE\n"), std::string::npos) << inboxIndex;
    EXPECT_NE(inboxIndex.find("\xDE" "2.msg\xDE\n"), std::string::npos) << inboxIndex;

    r = archiver({"/r", "/o", "rt.zip"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (const auto& [path, bytes] : before) {
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ".msg") == 0) {
            EXPECT_EQ(read(path), bytes) << path;
        }
    }
    // The index lines that come back are the ones the archive wrote.
    EXPECT_EQ(read("work.act/inbox.fld/folder.bag"), inboxIndex);
    EXPECT_NE(read("work.act/inbox.fld/sub.fld/folder.bag").find("\xDE" "3.msg\xDE\n"), std::string::npos);
}

class RestoreSelection : public Restore {
protected:
    void SetUp() override {
        store.account("work.act", "Work").account("home.act", "Home");
        for (const char* f : {"work.act/inbox.fld", "work.act/inbox.fld/sub.fld", "work.act/other.fld", "home.act/inbox.fld"})
            member(std::string(f) + "/folder.ini", folderIni(f));
        archived("work.act/inbox.fld/1.msg", "Invoice one", "news@x");
        archived("work.act/inbox.fld/sub.fld/2.msg", "Meeting", "boss@x");
        archived("work.act/other.fld/3.msg", "Invoice three", "boss@x");
        archived("home.act/inbox.fld/4.msg", "Holiday", "news@x");
        pack();
    }
    // The messages that came back into their folders, in store order.
    std::vector<std::string> restored() const {
        std::vector<std::string> out;
        for (const auto& [path, bytes] : ts::snapshot(mainDir))
            if (path.size() > 4 && path.compare(path.size() - 4, 4, ".msg") == 0) out.push_back(path);
        return out;
    }
};

TEST_F(RestoreSelection, FolderNameWithoutNestingTakesOnlyTheFolderItself) {
    auto r = restore({"/o", "/G", "inbox.fld"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(restored(), (std::vector<std::string>{"home.act/inbox.fld/4.msg", "work.act/inbox.fld/1.msg"}));
}

TEST_F(RestoreSelection, FolderNameWithNestingTakesTheFoldersBelowToo) {
    auto r = restore({"/o", "/n", "/G", "INBOX.fld"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(restored(), (std::vector<std::string>{"home.act/inbox.fld/4.msg", "work.act/inbox.fld/1.msg",
                                                    "work.act/inbox.fld/sub.fld/2.msg"}));
}

TEST_F(RestoreSelection, EveryFolderSelectorMustMatch) {
    auto r = restore({"/o", "/n", "/G", "inbox", "/G", "sub"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(restored(), (std::vector<std::string>{"work.act/inbox.fld/sub.fld/2.msg"}));
}

TEST_F(RestoreSelection, AccountDirectorySelection) {
    auto r = restore({"/o", "/a", "WORK.act"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(restored(), (std::vector<std::string>{"work.act/inbox.fld/1.msg", "work.act/inbox.fld/sub.fld/2.msg",
                                                    "work.act/other.fld/3.msg"}));
}

TEST_F(RestoreSelection, AccountDisplayNameSelection) {
    auto r = restore({"/o", "/b", "hom"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(restored(), (std::vector<std::string>{"home.act/inbox.fld/4.msg"}));
}

TEST_F(RestoreSelection, MessageCriteria) {
    auto r = restore({"/o", "/s", "invoice"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(restored(), (std::vector<std::string>{"work.act/inbox.fld/1.msg", "work.act/other.fld/3.msg"}));

    // Any one criterion selects; with /R every one must.
    for (const auto& p : restored()) ASSERT_EQ(std::remove(at(p).c_str()), 0);
    r = restore({"/o", "/s", "invoice", "/F", "NEWS"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(restored(), (std::vector<std::string>{"home.act/inbox.fld/4.msg", "work.act/inbox.fld/1.msg",
                                                    "work.act/other.fld/3.msg"}));
    for (const auto& p : restored()) ASSERT_EQ(std::remove(at(p).c_str()), 0);
    r = restore({"/o", "/R", "/s", "invoice", "/F", "NEWS"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(restored(), (std::vector<std::string>{"work.act/inbox.fld/1.msg"}));
}

TEST_F(RestoreSelection, QueryAnswersFromStandardInput) {
    // x and the line end are ignored; ? shows the help and the same entry
    // again; y takes 1; n skips 2; A (any case) takes 3 and 4 unasked.
    auto r = restore({"/o", "/Q"}, "x?\ny\nn\nA");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(restored(), (std::vector<std::string>{"home.act/inbox.fld/4.msg", "work.act/inbox.fld/1.msg",
                                                    "work.act/other.fld/3.msg"}));
    EXPECT_EQ(countOf(r.out, "\nFile:   ./work.act/inbox.fld/1.msg\n"), 2u) << r.out;
    EXPECT_EQ(countOf(r.out, "\nFile:   ./work.act/inbox.fld/sub.fld/2.msg\n"), 1u);
    EXPECT_EQ(countOf(r.out, "\nFile:   ./work.act/other.fld/3.msg\n"), 1u);
    EXPECT_EQ(countOf(r.out, "File:   ./home.act"), 0u);
    EXPECT_EQ(countOf(r.out, "\nProceed (y/n/q/a/?): "), 4u);
    EXPECT_EQ(countOf(r.out, "y     Yes\nn     No\nq     Quit\na     Yes to all\n\n"), 1u);
    EXPECT_NE(r.out.find("\nFile:   ./work.act/inbox.fld/1.msg\n"
                         "Date:   07/14/98, 11:39\n"
                         "Subj:   Invoice one\n"
                         "To:     to@x (To Name)\n"
                         "From:   news@x (From Name)\n"
                         "\nProceed (y/n/q/a/?): "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("bbb - \n"), std::string::npos);
}

TEST_F(RestoreSelection, QuitEndsTheRunKeepingWhatCameBack) {
    auto r = restore({"/o", "/Q"}, "yq");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(restored(), (std::vector<std::string>{"work.act/inbox.fld/1.msg"}));
    EXPECT_FALSE(ts::exists(at("backup.bag")));
}

TEST_F(RestoreSelection, WithoutAnswersQueryModeRestoresNothing) {
    auto r = restore({"/o", "/Q"});  // standard input is /dev/null
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(restored().empty());
    EXPECT_EQ(countOf(r.out, "\nProceed (y/n/q/a/?): "), 1u);
}

TEST_F(Restore, LongFieldsAreCutInTheQuery) {
    store.account("a.act", "A");
    member("a.act/f.fld/folder.ini", folderIni("F"));
    const std::string subject(100, 's');
    archived("a.act/f.fld/1.msg", subject);
    pack();
    auto r = restore({"/Q"}, "n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // "Subj:   " and 71 characters: 79 in all, and no line end.
    EXPECT_NE(r.out.find("Subj:   " + subject.substr(0, 71) + "To:     "), std::string::npos) << r.out;
}

class RestoreFailedMember : public Restore {
protected:
    void SetUp() override {
        store.account("a.act", "A");
        member("a.act/f.fld/folder.ini", folderIni("F"));
        entry("./a.act/f.fld/9.msg", "Not in the archive");
        archived("a.act/f.fld/1.msg", "Present");
        pack();
    }
};

TEST_F(RestoreFailedMember, YesGoesOnWithTheNextMessage) {
    auto r = restore({"/o"}, "Y\ny");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Error unarchiving file a.act\\f.fld\\9.msg \n\nProceed (y/n): "), std::string::npos) << r.out;
    EXPECT_EQ(read("a.act/f.fld/1.msg"), messageText("Present"));
    EXPECT_EQ(read("a.act/f.fld/folder.bag"), indexLine("1.msg", "Present"));  // 9.msg not indexed
}

TEST_F(RestoreFailedMember, NoEndsTheRunWithStatusOne) {
    auto r = restore({"/o"}, "n");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(ts::exists(at("a.act/f.fld/1.msg")));
}

TEST_F(RestoreFailedMember, EndOfInputCountsAsNo) {
    auto r = restore({"/o"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\nProceed (y/n): "), std::string::npos);
    EXPECT_FALSE(ts::exists(at("a.act/f.fld/1.msg")));
}

TEST_F(Restore, MissingArchiveIsFatal4512) {
    auto r = archiver({"/r", "../nothere.zip"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[4512]: A valid Archive file [../nothere.zip] is REQUIRED when performing a restore");
    r = archiver({"/r"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[4512]: A valid Archive file [(null)] is REQUIRED when performing a restore");
}

TEST_F(Restore, TheZipSuffixMayBeLeftOut) {
    store.account("a.act", "A");
    member("a.act/f.fld/folder.ini", folderIni("F"));
    archived("a.act/f.fld/1.msg", "Present");
    pack();
    auto r = archiver({"/r", "/o", "../a"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(read("a.act/f.fld/1.msg"), messageText("Present"));
}

TEST_F(Restore, ArchiveWithoutBackupBagIsFatal4523) {
    member("a.act/f.fld/1.msg", "x");
    pack(false);
    auto r = restore({});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(ts::endsWith(r.err, "\n[4523]: Error unarchiving backup.bag file")) << r.err;  // after unzip's own word
    EXPECT_FALSE(ts::exists(at("backup.bag")));
}

TEST_F(Restore, MissingFolderIniIsFatal4397) {
    store.account("a.act", "A");
    archived("a.act/f.fld/1.msg", "No settings");
    pack();
    auto r = restore({});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(ts::endsWith(r.err, "\n[4397]: Error unarchiving INI file [a.act/f.fld/folder.ini] in folder: a.act/restore.fld/f.fld"))
        << r.err;
}

TEST_F(Restore, PathsThatLeaveTheStoreAreRefused) {
    store.account("a.act", "A").folder("a.act/f.fld", "F");
    ts::makeDirectories(tmp / "outside");
    member("a.act/f.fld/folder.ini", folderIni("F"));
    archived("a.act/f.fld/1.msg", "Good");
#ifndef _WIN32  // links are POSIX's here
    // A message planted as a link to a directory outside the store.
    ASSERT_EQ(ts::run("/bin/ln", {"-s", tmp / "outside", stage + "/a.act/f.fld/link.msg"}).status, 0);
    entry("./a.act/f.fld/link.msg");
#endif
    const std::vector<std::string> refused = {
        "./a.act/../../outside/x.fld/2.msg",  // climbs out
        "./a.act/f.fld/../../../3.msg",
        "a.act\\..\\..\\4.msg",
        "/tmp/a.act/f.fld/5.msg",  // absolute
        "\\a.act\\f.fld\\6.msg",
        "c:a.act/f.fld/7.msg",  // a drive
        "./noaccount/f.fld/8.msg",  // no account
        "./a.act/f.fld/folder.bag",  // not a message
        "./a.act/f.fld/link.msg/9.msg",  // a message name used as a directory
        "./a.act",
    };
    for (const auto& p : refused) entry(p);
    pack();
    const auto outsideBefore = ts::snapshot(tmp / "outside");

    auto r = restore({"/o"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (const auto& p : refused) {
        std::string shown = p;
        for (char& c : shown) if (c == '/') c = '\\';
        std::string collapsed;
        for (char c : shown) if (!(c == '\\' && !collapsed.empty() && collapsed.back() == '\\')) collapsed += c;
        EXPECT_NE(r.out.find("Not restoring " + collapsed + ": not a message path inside the mail store\n"),
                  std::string::npos)
            << p << "\n" << r.out;
    }
    EXPECT_EQ(read("a.act/f.fld/1.msg"), messageText("Good"));
    EXPECT_EQ(ts::snapshot(tmp / "outside"), outsideBefore);
    EXPECT_EQ(ts::listDirectory(tmp.path()), (std::vector<std::string>{"a.zip", "outside", "stage", "velmor"}));
    EXPECT_EQ(ts::listDirectory(at("a.act")), (std::vector<std::string>{"acct.ini", "f.fld"}));
#ifdef _WIN32
    EXPECT_EQ(ts::listDirectory(at("a.act/f.fld")), (std::vector<std::string>{"1.msg", "folder.bag", "folder.ini"}));
#else
    EXPECT_EQ(ts::listDirectory(at("a.act/f.fld")), (std::vector<std::string>{"1.msg", "folder.bag", "folder.ini", "link.msg"}));
#endif
}

// The path rules themselves, for the shapes the end-to-end test cannot
// pack.
TEST(SplitRestorePath, TakesAMessagePathApart) {
    RestorePath p;
    ASSERT_TRUE(splitRestorePath("./work.act/inbox.fld/sub.fld/12.msg", p));
    EXPECT_EQ(p.account, "work.act");
    EXPECT_EQ(p.folders, (std::vector<std::string>{"inbox.fld", "sub.fld"}));
    EXPECT_EQ(p.file, "12.msg");
    ASSERT_TRUE(splitRestorePath("./work.act/1.msg", p));
    EXPECT_TRUE(p.folders.empty());
    ASSERT_TRUE(splitRestorePath(".\\x\\work.act\\\\f.fld\\.\\1.msg", p));
    EXPECT_EQ(p.account, "work.act");
    EXPECT_EQ(p.folders, (std::vector<std::string>{"f.fld"}));
    for (const char* bad : {"", "./", "../a.act/f.fld/1.msg", "./a.act/f.fld/..", "d:/a.act/1.msg", "//srv/a.act/1.msg",
                            "./a.act/f.fld/1.txt", "./a.actx/f.fld/1.msg", "./a.act/b.msg/1.msg", "./f.fld/a.act"})
        EXPECT_FALSE(splitRestorePath(bad, p)) << bad;
}

// ---- restore at the scale of an archive -----------------------------------

namespace mixed {

// A store of several accounts and nested folders, and an archive of it
// whose backup.bag also names a message the archive lacks, a path that
// leaves the store, an account that is gone (with and without its
// acct.ini in the archive) and a folder whose folder.ini the archive lacks
// (last, so that the run into "Restored Files" ends there with 4397).
struct Case {
    const char* name;
    std::vector<std::string> options;
    std::string input;
};

const Case cases[] = {
    {"restored-files-verbose", {"/V", "1", "/q"}, "y"},
    {"original-verbose", {"/o", "/V", "1", "/q"}, "y"},
    {"original-plain", {"/o"}, "y"},
    {"restored-files-query", {"/Q", "/V", "1", "/q"}, "ynyy?yna"},
    {"original-query", {"/Q", "/o"}, "nyyn"},
};

}  // namespace mixed

class RestoreMixedStore : public Restore {
protected:
    void SetUp() override {
        member("work.act/acct.ini", "archived work acct.ini");
        for (const char* f : {"work.act/inbox.fld", "work.act/inbox.fld/sub.fld", "work.act/inbox.fld/sub.fld/deep.fld",
                              "work.act/old.fld", "gone.act/in.fld", "lost.act/f.fld"})
            member(std::string(f) + "/folder.ini", folderIni(f));
        std::string acct(512, '\0');
        acct += "Gone Account";
        acct += std::string(40, '\0');
        member("gone.act/acct.ini", acct);
        archived("work.act/inbox.fld/1.msg", "One");
        archived("work.act/inbox.fld/2.msg", "Two");
        entry("./work.act/inbox.fld/12.msg", "Not in the archive");
        archived("work.act/inbox.fld/3.msg", "Three");
        archived("work.act/inbox.fld/sub.fld/4.msg", "Four");
        archived("work.act/inbox.fld/sub.fld/deep.fld/5.msg", "Five");
        archived("work.act/inbox.fld/sub.fld/deep.fld/6.msg", "Six");
        archived("work.act/old.fld/7.msg", "Seven");
        archived("gone.act/in.fld/10.msg", "Ten");
        archived("lost.act/f.fld/11.msg", "Eleven");
        entry("./work.act/../x.fld/13.msg", "Outside");
        archived("home.act/notes.fld/8.msg", "Eight");
        archived("home.act/notes.fld/9.msg", "Nine");
        pack();
    }
    // The store before each run: two accounts, some folders already there.
    void buildStore(const std::string& dir) {
        ts::StoreBuilder(dir)
            .account("work.act", "Work")
            .folder("work.act/inbox.fld", "Inbox")
            .folder("work.act/inbox.fld/sub.fld", "Sub")
            .account("home.act", "Home")
            .folder("home.act/notes.fld", "Notes")
            .file("work.act/inbox.fld/folder.bag", indexLine("1.msg", "Old one"));
    }
    // What the run showed: its status, the numbered messages of standard
    // error (unzip's own words before them are unzip's) and standard output.
    static std::string shown(const ts::RunResult& r) {
        std::string numbered;
        for (const std::string& line : ts::linesOf(r.err))
            if (line.compare(0, 1, "[") == 0) numbered += line;
        return "status " + std::to_string(r.status) + "\nerr " + numbered + "\n---\n" + r.out;
    }
};

// The lines, questions and statuses of a restore are those of the restore
// that ran one unzip per message, byte for byte (taken from that build).
TEST_F(RestoreMixedStore, ShowsWhatPerMessageRestoreShowed) {
    for (const mixed::Case& c : mixed::cases) {
        const std::string dir = tmp / c.name;
        buildStore(dir);
        ts::RunOptions o;
        o.input = c.input;
        std::vector<std::string> args{"/r"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("../a.zip");
        const std::string got = shown(ts::runArchiver(dir, args, o));
        // And the store it left, every file with its bytes.
        std::string tree;
        for (const auto& [path, bytes] : ts::snapshot(dir))
            tree += "== " + path + " (" + std::to_string(bytes.size()) + " bytes)\n" + bytes + "\n";
        const std::string golden = std::string(TEST_DATA_DIR) + "/restore/mixed-" + c.name;
        if (const char* update = std::getenv("ARCHIVER_UPDATE_GOLDEN"); update && *update) {
            ts::writeFile(golden + ".txt", got);
            ts::writeFile(golden + ".tree", tree);
        }
        EXPECT_EQ(got, ts::readFile(golden + ".txt")) << c.name;
        EXPECT_EQ(tree, ts::readFile(golden + ".tree")) << c.name;
    }
}

// ---- names from either system ---------------------------------------------

// A zip archive written byte by byte, its members stored as they are, for
// names that this system's zip cannot write: zip.exe on Windows stores a
// name in the OEM code page (850: "é" is 0x82) with "version made by" NTFS
// and adds Info-ZIP's extra field 0x7075 holding the name in UTF-8 (with
// the CRC-32 of the stored name); zip on Linux stores the name's bytes as
// they are, made by Unix, without that field. The layout follows the zip
// format's local headers, central directory and end record.
struct ZipMember {
    std::string name;  // the stored bytes
    std::string bytes;
    std::string utf8Name;  // for the extra field; none when empty
    std::string damage;    // when given: stored instead of `bytes`, under their CRC-32
};

std::uint32_t crcOf(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::string zipArchive(const std::vector<ZipMember>& members, bool madeOnWindows) {
    std::string out, central;
    for (const ZipMember& m : members) {
        std::string extra;
        if (!m.utf8Name.empty()) {
            put16(extra, 0x7075);
            put16(extra, static_cast<unsigned>(5 + m.utf8Name.size()));
            extra += '\x01';
            put32(extra, crcOf(m.name));
            extra += m.utf8Name;
        }
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        const std::uint32_t crc = crcOf(m.bytes);
        const std::string& stored = m.damage.empty() ? m.bytes : m.damage;
        const auto size = static_cast<std::uint32_t>(stored.size());
        // Local header: signature, version needed, flags, method (stored),
        // time, date (1998-07-14 11:39), CRC-32, sizes, name and extra lengths.
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0x5CE0);
        put16(out, 0x24EE);
        put32(out, crc);
        put32(out, size);
        put32(out, size);
        put16(out, static_cast<unsigned>(m.name.size()));
        put16(out, static_cast<unsigned>(extra.size()));
        out += m.name + extra + stored;
        // Its central directory entry: made by NTFS (11) or Unix (3).
        put32(central, 0x02014b50);
        put16(central, (madeOnWindows ? 11u : 3u) << 8 | 30u);
        put16(central, 20);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0x5CE0);
        put16(central, 0x24EE);
        put32(central, crc);
        put32(central, size);
        put32(central, size);
        put16(central, static_cast<unsigned>(m.name.size()));
        put16(central, static_cast<unsigned>(extra.size()));
        put16(central, 0);                                       // comment
        put16(central, 0);                                       // disk
        put16(central, 0);                                       // internal attributes
        put32(central, madeOnWindows ? 0x20u : 0x81A40000u);  // archive bit, or rw-r--r--
        put32(central, offset);
        central += m.name + extra;
    }
    const std::uint32_t centralAt = static_cast<std::uint32_t>(out.size());
    out += central;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<unsigned>(members.size()));
    put16(out, static_cast<unsigned>(members.size()));
    put32(out, static_cast<std::uint32_t>(central.size()));
    put32(out, centralAt);
    put16(out, 0);
    return out;
}

// The client names the file "café 1.msg" in its code page (0xE9), and so
// does backup.bag; the restored file takes that name whichever system's
// zip wrote the archive, and whichever system restores it.
TEST_F(Restore, NamesWithEightBitBytesAndBlanksFromEitherSystem) {
    const std::string client = "caf\xE9 1.msg";  // code page 1252
    const std::string oem = "caf\x82 1.msg";     // code page 850
    const std::string utf8 = "caf\xC3\xA9 1.msg";
    const std::string body = messageText("Accented");
    for (bool madeOnWindows : {true, false}) {
        const std::string what = madeOnWindows ? "made by zip.exe on Windows" : "made by zip on Linux";
        const std::string dir = tmp / (madeOnWindows ? "from-windows" : "from-linux");
        ts::StoreBuilder(dir).account("work.act", "Work").folder("work.act/inbox.fld", "Inbox");
        const std::string bagLines = indexLine("./work.act/inbox.fld/" + client, "Accented") +
                                     indexLine("./work.act/inbox.fld/2.msg", "Plain");
        std::vector<ZipMember> members = {
            {"work.act/inbox.fld/folder.ini", folderIni("Inbox"), "", ""},
            {"work.act/inbox.fld/" + (madeOnWindows ? oem : client), body,
             madeOnWindows ? "work.act/inbox.fld/" + utf8 : "", ""},
            {"work.act/inbox.fld/2.msg", messageText("Plain"), "", ""},
            {"backup.bag", bagLines, "", ""},
        };
        ts::writeFile(dir + "/a.zip", zipArchive(members, madeOnWindows));

        auto r = ts::runArchiver(dir, {"/r", "/o", "a.zip"});
        ASSERT_EQ(r.status, 0) << what << r.out << r.err;
        EXPECT_EQ(ts::readFile(dir + "/work.act/inbox.fld/" + client), body) << what;
        EXPECT_EQ(ts::readFile(dir + "/work.act/inbox.fld/2.msg"), messageText("Plain")) << what;
        EXPECT_EQ(ts::readFile(dir + "/work.act/inbox.fld/folder.bag"),
                  indexLine(client, "Accented") + indexLine("2.msg", "Plain"))
            << what;
        EXPECT_EQ(ts::listDirectory(dir + "/work.act/inbox.fld"),
                  (std::vector<std::string>{"2.msg", client, "folder.bag", "folder.ini"}))
            << what;
        EXPECT_EQ(r.out.find("Error unarchiving"), std::string::npos) << what << r.out;
    }
}

// A member whose bytes do not match the CRC-32 the archive gives them
// (unzip writes such a file, and says so): in a batch of the whole folder
// and in one of names, it is reported as a member that could not be
// extracted, and never reaches the store; the others come back.
TEST_F(Restore, DamagedMemberInABatchNeverReachesTheStore) {
    for (bool wholeFolder : {true, false}) {
        const std::string what = wholeFolder ? "every message of the folder" : "some messages of the folder";
        const std::string dir = tmp / (wholeFolder ? "whole" : "some");
        ts::StoreBuilder(dir).account("a.act", "A").folder("a.act/f.fld", "F");
        std::vector<ZipMember> members = {{"a.act/f.fld/folder.ini", folderIni("F"), "", ""}};
        std::string bagLines;
        for (const char* n : {"1", "2", "3"}) {
            const std::string name = std::string(n) + ".msg";
            std::string damage;
            if (name == "2.msg") {
                damage = messageText(n);
                damage[damage.size() / 2] ^= 0x20;  // the same size, other bytes
            }
            members.push_back({"a.act/f.fld/" + name, messageText(n), "", damage});
            bagLines += indexLine("./a.act/f.fld/" + name, n);
        }
        if (!wholeFolder) members.push_back({"a.act/f.fld/4.msg", messageText("4"), "", ""});  // not restored
        members.push_back({"backup.bag", bagLines, "", ""});
        ts::writeFile(dir + "/a.zip", zipArchive(members, false));

        ts::RunOptions o;
        o.input = "y";
        auto r = ts::runArchiver(dir, {"/r", "/o", "a.zip"}, o);
        ASSERT_EQ(r.status, 0) << what << r.out << r.err;
        EXPECT_EQ(countOf(r.out, "Error unarchiving file "), 1u) << what << r.out;
        EXPECT_NE(r.out.find("Error unarchiving file a.act\\f.fld\\2.msg \n\nProceed (y/n): "), std::string::npos)
            << what << r.out;
        EXPECT_EQ(ts::listDirectory(dir + "/a.act/f.fld"),
                  (std::vector<std::string>{"1.msg", "3.msg", "folder.bag", "folder.ini"}))
            << what;
        EXPECT_EQ(ts::readFile(dir + "/a.act/f.fld/3.msg"), messageText("3")) << what;
        EXPECT_EQ(ts::readFile(dir + "/a.act/f.fld/folder.bag"), indexLine("1.msg", "1") + indexLine("3.msg", "3"))
            << what;
        EXPECT_EQ(ts::listDirectory(dir + "/a.act"), (std::vector<std::string>{"acct.ini", "f.fld"})) << what;
    }
}

}  // namespace
