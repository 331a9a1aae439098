// The archive job end to end: the built archiver with the real zip and
// unzip on stores in temporary directories.
#include "archiver_run.h"
#include "platform.h"
#include "zip_programs.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

using testing_support::exists;
using testing_support::isDirectory;
using testing_support::readFile;
using testing_support::snapshot;
using testing_support::writeFile;
using testing_support::zipMember;
using testing_support::zipMembers;

namespace {

using Names = std::vector<std::string>;

Names messagesOf(const Names& members) {
    Names out;
    for (const auto& m : members)
        if (m.size() > 4 && m.compare(m.size() - 4, 4, ".msg") == 0) out.push_back(m);
    return out;
}

// Two accounts; old messages (400 days) and new ones; folder indexes with
// the client's own values; one folder without an index.
class ArchiveTest : public StoreRun {
protected:
    void SetUp() override {
        store().account("work.act", "Work Mail").account("home.act", "Home");
        store().folder("work.act/inbox.fld", "Inbox").folder("work.act/inbox.fld/old.fld", "Old");
        store().folder("work.act/sent.fld", "Sent").folder("home.act/family.fld", "Family");
        message("work.act/inbox.fld/1.msg", "Invoice 42", "boss@work.example", "bob@work.example", 400);
        message("work.act/inbox.fld/2.msg", "Lunch", "\"Ann\" <ann@home.example>");
        message("work.act/inbox.fld/old.fld/5.msg", "Old news", "news@work.example", "bob@work.example", 400);
        message("work.act/sent.fld/3.msg", "Re: Lunch", "bob@work.example", "ann@home.example", 10);
        message("work.act/sent.fld/6.msg", "Plans", "bob@work.example", "ann@home.example", 400);
        message("home.act/family.fld/4.msg", "Photos", "\"Dad\" <dad@family.example>", "ann@home.example", 400);

        inboxIndex = line1 + line2 + builtLine("Gone", "x@y", "x@y", "9.msg", "5", "5");
        store().file("work.act/inbox.fld/folder.bag", inboxIndex);
        store().file("work.act/inbox.fld/old.fld/folder.bag", builtLine("Old news", "news@work.example",
                                                                        "news@work.example", "5.msg", "2", "2"));
        store().file("home.act/family.fld/folder.bag",
                     builtLine("Photos", "Dad", "dad@family.example", "4.msg", "0", "2", "ann@home.example"));
    }

    std::string archive() const { return at("ARCHIV00.zip"); }

    // folder.bag lines as the client wrote them for 1.msg and 2.msg.
    const std::string line1 = builtLine("Invoice 42", "boss@work.example", "boss@work.example", "1.msg", "7", "9");
    const std::string line2 = builtLine("Lunch", "Ann", "ann@home.example", "2.msg", "3", "4");
    std::string inboxIndex;
};

TEST_F(ArchiveTest, WholeStoreGoesIntoTheArchiveWithItsIndex) {
    auto before = snapshot(mainDir());
    auto r = archiver({});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");

    EXPECT_EQ(zipMembers(archive()), (Names{"home.act/acct.ini",
                                            "home.act/family.fld/folder.ini",
                                            "home.act/family.fld/4.msg",
                                            "work.act/acct.ini",
                                            "work.act/inbox.fld/folder.ini",
                                            "work.act/inbox.fld/1.msg",
                                            "work.act/inbox.fld/2.msg",
                                            "work.act/inbox.fld/old.fld/folder.ini",
                                            "work.act/inbox.fld/old.fld/5.msg",
                                            "work.act/sent.fld/folder.ini",
                                            "work.act/sent.fld/3.msg",
                                            "work.act/sent.fld/6.msg",
                                            "backup.bag"}));
    // value1 and value2 come from the folder index where it knows the message.
    EXPECT_EQ(zipMember(archive(), "backup.bag"),
              builtLine("Photos", "Dad", "dad@family.example", "./home.act/family.fld/4.msg", "0", "2",
                        "ann@home.example") +
                  builtLine("Invoice 42", "boss@work.example", "boss@work.example", "./work.act/inbox.fld/1.msg",
                            "7", "9") +
                  builtLine("Lunch", "Ann", "ann@home.example", "./work.act/inbox.fld/2.msg", "3", "4") +
                  builtLine("Old news", "news@work.example", "news@work.example",
                            "./work.act/inbox.fld/old.fld/5.msg", "2", "2") +
                  builtLine("Re: Lunch", "bob@work.example", "bob@work.example", "./work.act/sent.fld/3.msg", "1",
                            "1", "ann@home.example") +
                  builtLine("Plans", "bob@work.example", "bob@work.example", "./work.act/sent.fld/6.msg", "1", "1",
                            "ann@home.example"));
    EXPECT_EQ(zipMember(archive(), "work.act/inbox.fld/1.msg"), readFile(at("work.act/inbox.fld/1.msg")));

    // Without delete the store is as it was; the temporary files are gone.
    auto after = snapshot(mainDir());
    after.erase("ARCHIV00.zip");
    EXPECT_EQ(after, before);
}

TEST_F(ArchiveTest, SelectionsByAccountFolderAgeSubjectAndSender) {
    struct Case {
        Names args;
        Names messages;
    };
    const std::vector<Case> cases = {
        {{"/a", "work.act"},
         {"work.act/inbox.fld/1.msg", "work.act/inbox.fld/2.msg", "work.act/inbox.fld/old.fld/5.msg",
          "work.act/sent.fld/3.msg", "work.act/sent.fld/6.msg"}},
        {{"/b", "work"},
         {"work.act/inbox.fld/1.msg", "work.act/inbox.fld/2.msg", "work.act/inbox.fld/old.fld/5.msg",
          "work.act/sent.fld/3.msg", "work.act/sent.fld/6.msg"}},
        {{"/f", "inbox"}, {"work.act/inbox.fld/1.msg", "work.act/inbox.fld/2.msg"}},
        {{"/A", "30"},
         {"home.act/family.fld/4.msg", "work.act/inbox.fld/1.msg", "work.act/inbox.fld/old.fld/5.msg",
          "work.act/sent.fld/6.msg"}},
        {{"/s", "Invoice"}, {"work.act/inbox.fld/1.msg"}},
        {{"/F", "dad@"}, {"home.act/family.fld/4.msg"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string name = "sel" + std::to_string(n++) + ".zip";
        Names args = c.args;
        args.push_back(name);
        auto r = archiver(args);
        ASSERT_EQ(r.status, 0) << c.args[0] << r.out << r.err;
        Names members = zipMembers(at(name));
        EXPECT_EQ(messagesOf(members), c.messages) << c.args[0];
        // Settings files of the folders come along also when no message of theirs does.
        ASSERT_FALSE(members.empty());
        EXPECT_EQ(members.back(), "backup.bag");
        EXPECT_NE(std::find(members.begin(), members.end(), "work.act/sent.fld/folder.ini"), members.end());
    }
    // The account's own acct.ini comes with a walk of the main directory only.
    Names byAccount = zipMembers(at("sel0.zip"));
    EXPECT_EQ(std::count(byAccount.begin(), byAccount.end(), "home.act/acct.ini"), 0);
    EXPECT_EQ(zipMember(at("sel4.zip"), "backup.bag"),
              builtLine("Invoice 42", "boss@work.example", "boss@work.example", "./work.act/inbox.fld/1.msg", "7",
                        "9"));
}

TEST_F(ArchiveTest, DeleteTakesArchivedMessagesOutOfStoreAndIndexes) {
    std::uint64_t oldIndex = inodeOf(at("work.act/inbox.fld/folder.bag"));
    auto r = archiver({"/A", "30", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(messagesOf(zipMembers(archive())),
              (Names{"home.act/family.fld/4.msg", "work.act/inbox.fld/1.msg", "work.act/inbox.fld/old.fld/5.msg",
                     "work.act/sent.fld/6.msg"}));

    for (const char* gone : {"work.act/inbox.fld/1.msg", "work.act/inbox.fld/old.fld/5.msg",
                             "work.act/sent.fld/6.msg", "home.act/family.fld/4.msg"})
        EXPECT_FALSE(exists(at(gone))) << gone;
    EXPECT_TRUE(exists(at("work.act/inbox.fld/2.msg")));
    EXPECT_TRUE(exists(at("work.act/sent.fld/3.msg")));

    // The remaining line keeps its bytes; the line of the missing 9.msg is gone too.
    EXPECT_EQ(readFile(at("work.act/inbox.fld/folder.bag")), line2);
    // Written beside the old index and renamed over it, never rewritten in place.
    EXPECT_NE(inodeOf(at("work.act/inbox.fld/folder.bag")), oldIndex);
    EXPECT_TRUE(exists(at("work.act/inbox.fld/old.fld/folder.bag")));
    EXPECT_EQ(readFile(at("work.act/inbox.fld/old.fld/folder.bag")), "");
    EXPECT_EQ(readFile(at("home.act/family.fld/folder.bag")), "");
    // A folder the client kept without an index is left without one.
    EXPECT_FALSE(exists(at("work.act/sent.fld/folder.bag")));
    // Nothing but what was there before, less the deleted messages.
    EXPECT_EQ(testing_support::listDirectory(at("work.act/inbox.fld")),
              (Names{"2.msg", "folder.bag", "folder.ini", "old.fld"}));
    EXPECT_EQ(testing_support::listDirectory(mainDir()), (Names{"ARCHIV00.zip", "home.act", "velmor.exe", "work.act"}));
}

TEST_F(ArchiveTest, VerboseTwoArchivesButNeverDeletes) {
    auto before = snapshot(mainDir());
    auto r = archiver({"/V", "2", "/A", "30", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(messagesOf(zipMembers(archive())).size(), 4u);
    auto after = snapshot(mainDir());
    after.erase("ARCHIV00.zip");
    EXPECT_EQ(after, before);
    EXPECT_EQ(r.out.find("Rewriting bag file"), std::string::npos);
}

TEST_F(ArchiveTest, VerboseThreeIsADryRunThatLeavesTheList) {
    auto r = archiver({"/V", "3", "/A", "30", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(exists(archive()));
    EXPECT_FALSE(exists(at("backup.bag")));
    EXPECT_EQ(testing_support::readTextFile(at("archive.tmp")),
              "./home.act/acct.ini\n"
              "./home.act/family.fld/folder.ini\n"
              "./home.act/family.fld/4.msg\n"
              "./work.act/acct.ini\n"
              "./work.act/inbox.fld/folder.ini\n"
              "./work.act/inbox.fld/1.msg\n"
              "./work.act/inbox.fld/old.fld/folder.ini\n"
              "./work.act/inbox.fld/old.fld/5.msg\n"
              "./work.act/sent.fld/folder.ini\n"
              "./work.act/sent.fld/6.msg\n");
    EXPECT_NE(r.out.find("\nTotal of 6 files read\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nTotal of 10 files to be archived\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Zip file name"), std::string::npos);
    EXPECT_TRUE(exists(at("work.act/inbox.fld/1.msg")));
    EXPECT_EQ(readFile(at("work.act/inbox.fld/folder.bag")), inboxIndex);
}

TEST_F(ArchiveTest, VerboseOneTellsEachStep) {
    auto r = archiver({"/V", "1", "/A", "30", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string& out = r.out;
    std::size_t last = 0;
    // In this order; every "/" of a console line shows as "\".
    for (const std::string& text :
         {std::string("Archiving files\n"), std::string("Scanning folders and files:\n"),
          std::string("Scanning all accounts\n"), std::string("\nFolder scan completed\n"),
          std::string("Total of 6 files read\n"), std::string("Total of 10 files to be archived\n"),
          std::string("Scanned average of "), std::string(" lines\\file\n"),
          std::string("Zip file name: "), std::string("\\ARCHIV00.zip\n"),
          std::string("Zip may spend up to 0 minutes analyzing the file list\n"),
          std::string("(This is only an estimate based upon observed behaviour).\n"),
          std::string("Rewriting bag file: .\\work.act\\inbox.fld\\old.fld\\folder.bag, total of 0 remaining files\n"),
          std::string("Rewriting bag file: .\\work.act\\inbox.fld\\folder.bag, total of 1 remaining files\n"),
          std::string("Rewriting bag file: .\\folder.bag, total of 0 remaining files\n")}) {
        std::size_t at = out.find(text, last);
        ASSERT_NE(at, std::string::npos) << "missing or out of order: [" << text << "]\n" << out;
        last = at + text.size();
    }
    // Verbose without /q: zip tells what it adds.
    EXPECT_NE(out.find("adding: work.act/inbox.fld/1.msg"), std::string::npos) << out;

    auto quiet = archiver({"/V", "1", "/q", "/s", "Lunch", "quiet.zip"});
    ASSERT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out.find("adding:"), std::string::npos) << quiet.out;
}

TEST_F(ArchiveTest, AccountNameThatMatchesNothingIs4006) {
    auto r = archiver({"/b", "nobody"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[4006]: No directories selected by name!");
    EXPECT_FALSE(exists(archive()));
    EXPECT_FALSE(exists(at("archive.tmp")));
}

TEST(ArchiveWithoutMessages, StoreWithoutAnyMessageIs4071) {
    testing_support::TempDir t;
    testing_support::StoreBuilder s(t / "velmor");
    s.account("work.act", "Work").folder("work.act/inbox.fld", "Inbox");
    auto r = testing_support::runArchiver(s.mainDir(), {"/N"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[4071]: Archive aborted - No files to archive!");
    EXPECT_EQ(testing_support::listDirectory(s.mainDir()), (Names{"velmor.exe", "work.act"}));
}

TEST_F(ArchiveTest, ArchiveGoesToTheStartDirectoryOrWhereAnAbsoluteNameSays) {
    testing_support::makeDirectories(temp() / "start");
    testing_support::RunOptions o;
    o.workDir = temp() / "start";
    auto r = archiver({"/p", mainDir(), "/S", "Lunch"}, o);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(exists(temp() / "start/ARCHIV00.zip"));
    EXPECT_FALSE(exists(archive()));
    EXPECT_EQ(messagesOf(zipMembers(temp() / "start/ARCHIV00.zip")),
              (Names{"work.act/inbox.fld/2.msg", "work.act/sent.fld/3.msg"}));

    testing_support::makeDirectories(temp() / "out");
    // A name beginning with "/" would read as an option: the drive form names the root.
#ifdef _WIN32  // the drive is real, and the directory already on it
    r = archiver({"/s", "Photos", temp() / "out/photos.zip"});
#else
    r = archiver({"/s", "Photos", "D:" + temp() / "out/photos.zip"});
#endif
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(messagesOf(zipMembers(temp() / "out/photos.zip")), (Names{"home.act/family.fld/4.msg"}));
}

TEST_F(ArchiveTest, BackupIndexThatCannotBeWrittenStopsBeforeZip) {
    testing_support::makeDirectories(at("backup.bag"));  // a directory stands in the way
    auto r = archiver({"/A", "30", "/N"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("[4086]: Error [", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("] writing the archive index backup.bag"), std::string::npos) << r.err;
    EXPECT_FALSE(exists(archive()));
    EXPECT_FALSE(exists(at("archive.tmp")));
    EXPECT_TRUE(exists(at("work.act/inbox.fld/1.msg")));
    EXPECT_EQ(readFile(at("work.act/inbox.fld/folder.bag")), inboxIndex);
}

#ifndef _WIN32  // /dev/full is POSIX's
TEST_F(ArchiveTest, ListFileThatCannotBeWrittenStopsBeforeZip) {
    // A full disk: every byte written to the list is refused.
    ASSERT_EQ(symlink("/dev/full", at("archive.tmp").c_str()), 0);
    auto r = archiver({"/A", "30", "/N"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[4088]: The list of files to archive could not be written: nothing was archived");
    EXPECT_FALSE(exists(archive()));
    EXPECT_FALSE(exists(at("archive.tmp")));
    EXPECT_TRUE(exists(at("work.act/inbox.fld/1.msg")));
    EXPECT_EQ(readFile(at("work.act/inbox.fld/folder.bag")), inboxIndex);
}
#endif

TEST_F(ArchiveTest, IndexThatCannotBeReplacedIs3866AndNothingIsDeleted) {
#ifdef _WIN32
    // An index that another program holds open (the client, without delete
    // sharing) cannot be renamed over.
    std::ifstream held(at("home.act/family.fld/folder.bag"));
    ASSERT_TRUE(held);
    auto r = archiver({"/A", "30", "/N"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("[3866]: Error [", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("] opening bag file: ./home.act/family.fld/folder.bag"), std::string::npos) << r.err;
#else
    // A directory where the index belongs cannot be renamed over.
    std::remove(at("home.act/family.fld/folder.bag").c_str());
    writeFile(at("home.act/family.fld/folder.bag/x"), "x");
    auto r = archiver({"/A", "30", "/N"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[3866]: Error [21] opening bag file: ./home.act/family.fld/folder.bag");
#endif
    // Indexes are rewritten before any message goes.
    EXPECT_TRUE(exists(at("home.act/family.fld/4.msg")));
    EXPECT_TRUE(exists(at("work.act/inbox.fld/1.msg")));
    EXPECT_EQ(testing_support::listDirectory(at("home.act/family.fld")), (Names{"4.msg", "folder.bag", "folder.ini"}));
    EXPECT_TRUE(exists(archive()));
    EXPECT_FALSE(exists(at("backup.bag")));
    EXPECT_FALSE(exists(at("archive.tmp")));
}

TEST_F(ArchiveTest, DebugLogRecordsTheVersionCheckAndTheZipCall) {
    testing_support::RunOptions o;
    o.env = {"ARCHIVER_DEBUG=1"};
    auto r = archiver({"/s", "Lunch"}, o);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    std::string log = testing_support::readTextFile(at("archiver.dbg"));
    const std::string zip = programName(ZipProgram::zip);
    EXPECT_EQ(log.rfind("Checking version of zip/unzip, command line: " + zip + " -h > ", 0), 0u) << log;
    std::string call = "bfr: [" + zip + "]\nargs: [-q -9 -@ " + testing_support::canonicalPath(mainDir()) +
                       "/ARCHIV00.zip]\ninput: [archive.tmp]\n\n";
    EXPECT_NE(log.find(call), std::string::npos) << log;

    std::remove(at("archiver.dbg").c_str());
    r = archiver({"/s", "Lunch", "second.zip"});
    ASSERT_EQ(r.status, 0);
    EXPECT_FALSE(exists(at("archiver.dbg")));
}

// ---- zip and unzip stand-ins first on PATH ------------------------------------

class ArchiveStandInTest : public ArchiveTest {
protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        realZip = testing_support::findProgram("zip");
        ASSERT_FALSE(realZip.empty());
        testing_support::makeDirectories(bin());
        options.pathPrefix = bin();
    }
    std::string bin() const { return temp() / "bin"; }
    // A stand-in for zip or unzip first on PATH: a shell script on POSIX,
    // the stand-in program with its instructions on Windows.
    void standIn(const std::string& name, const std::string& script, const std::string& instructions) {
#ifdef _WIN32
        testing_support::writeStandIn(bin(), name + ".exe", instructions);
        (void)script;
#else
        testing_support::writeScript(bin(), name, script);
        (void)instructions;
#endif
    }
    // The store as it must stay when nothing may be deleted.
    void expectStoreUnchanged() {
        EXPECT_TRUE(exists(at("work.act/inbox.fld/1.msg")));
        EXPECT_TRUE(exists(at("home.act/family.fld/4.msg")));
        EXPECT_EQ(readFile(at("work.act/inbox.fld/folder.bag")), inboxIndex);
        EXPECT_FALSE(exists(at("backup.bag")));
        EXPECT_FALSE(exists(at("archive.tmp")));
    }
    std::string realZip;
    testing_support::RunOptions options;
};

TEST_F(ArchiveStandInTest, ZipTooOldOrWithoutVersionEndsTheJobQuietly) {
    std::string help = "Copyright (c) 1990-1996 Info-ZIP\nZip 2.1 (April 27th 1996). Usage:\n" + std::string(200, '.');
    writeFile(temp() / "help", help);
    standIn("zip", "/bin/cat '" + temp() / "help" + "'\n", "print " + temp() / "help" + "\n");
    auto r = archiver({"/A", "30", "/N"}, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Invalid Zip version.  You must be running InfoZip version 2.2 or later\n"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(exists(archive()));
    expectStoreUnchanged();

    writeFile(temp() / "help", "no version here\n" + std::string(300, '.'));
    r = archiver({"/A", "30", "/N"}, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Unable to find Zip version in output from Zip.  Please check\n"
                         "the version of Zip you are running.\n"),
              std::string::npos)
        << r.out;
    expectStoreUnchanged();
}

TEST_F(ArchiveStandInTest, FailingZipLeavesTheStoreAlone) {
    standIn("zip",
            "if [ \"$1\" = -h ]; then exec '" + realZip + "' -h; fi\n"
            "/bin/cat > /dev/null\nexit 12\n",
            "help " + realZip + "\ndrain\nexit 12\n");
    auto r = archiver({"/A", "30", "/N"}, options);
    // The failure is told, with zip's status, and the run does not end as a success.
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.err, "[4087]: Zip ended with status 12: the archive may be incomplete, nothing was deleted");
    expectStoreUnchanged();
}

#ifndef _WIN32  // the stand-in runs the real zip twice: a shell's work
TEST_F(ArchiveStandInTest, MessageMissingFromTheArchiveStaysWithItsIndexLine) {
    // A zip that leaves one message out of the archive it writes.
    testing_support::writeScript(bin(), "zip",
                                 "if [ \"$1\" = -h ]; then exec '" + realZip + "' -h; fi\n"
                                 "for a; do last=\"$a\"; done\n"
                                 "'" + realZip + "' \"$@\" || exit $?\n"
                                 "'" + realZip + "' -q -d \"$last\" work.act/inbox.fld/1.msg > /dev/null\n");
    auto r = archiver({"/A", "30", "/N"}, options);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "[4120]: Not in the archive, so not deleted: ./work.act/inbox.fld/1.msg\n");
    EXPECT_TRUE(exists(at("work.act/inbox.fld/1.msg")));
    EXPECT_EQ(readFile(at("work.act/inbox.fld/folder.bag")), line1 + line2);
    EXPECT_FALSE(exists(at("home.act/family.fld/4.msg")));
    EXPECT_FALSE(exists(at("work.act/inbox.fld/old.fld/5.msg")));
}
#endif

TEST_F(ArchiveStandInTest, ArchiveThatCannotBeListedDeletesNothing) {
    standIn("unzip", "echo 'unzip: cannot list' >&2\nexit 9\n", "stderr unzip: cannot list\nexit 9\n");
    auto r = archiver({"/A", "30", "/N"}, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("[4121]: Cannot list the archive "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("no message is deleted, the indexes stay as they were"), std::string::npos) << r.err;
    EXPECT_EQ(messagesOf(zipMembers(archive())).size(), 4u);
    expectStoreUnchanged();
}

// ---- stores of other shapes ---------------------------------------------------

TEST(ArchiveStoreShapes, MixedCaseDirectoriesKeepTheirNames) {
    testing_support::TempDir t;
    testing_support::StoreBuilder s(t / "velmor");
    s.account("Work.ACT", "Work").folder("Work.ACT/Inbox.FLD", "Inbox");
    s.message("Work.ACT/Inbox.FLD/1.msg", {"Date: Tue, 14 Jul 1998 11:39:10 +0000", "From: a@b", "To: c@d",
                                           "Subject: old"});
    s.message("Work.ACT/Inbox.FLD/2.msg", {"Date: Tue, 14 Jul 1998 11:39:10 +0000", "From: a@b", "To: c@d",
                                           "Subject: new"});
    testing_support::setModifyTime(t / "velmor/Work.ACT/Inbox.FLD/1.msg", std::time(nullptr) - 90 * 86400);
    std::string keep = testing_support::indexLine({"4", "4", "d", "t", "new", "c@d", "c@d", "a@b", "a@b", "1K", "2.msg"});
    s.file("Work.ACT/Inbox.FLD/folder.bag",
           testing_support::indexLine({"3", "3", "d", "t", "old", "c@d", "c@d", "a@b", "a@b", "1K", "1.msg"}) + keep);

    auto r = testing_support::runArchiver(s.mainDir(), {"/a", "work.act", "/A", "30", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(messagesOf(zipMembers(t / "velmor/ARCHIV00.zip")), (Names{"Work.ACT/Inbox.FLD/1.msg"}));
    EXPECT_FALSE(exists(t / "velmor/Work.ACT/Inbox.FLD/1.msg"));
    EXPECT_EQ(readFile(t / "velmor/Work.ACT/Inbox.FLD/folder.bag"), keep);
    EXPECT_EQ(testing_support::listDirectory(t / "velmor"), (Names{"ARCHIV00.zip", "Work.ACT", "velmor.exe"}));
    EXPECT_EQ(testing_support::listDirectory(t / "velmor/Work.ACT"), (Names{"Inbox.FLD", "acct.ini"}));
}

// The client may spell a message in its index otherwise than the disk does:
// the line still belongs to the message, so the archive keeps the client's
// values, the rewrite drops the line, and the restore finds the folder.
TEST(ArchiveStoreShapes, IndexLinesSpelledInAnotherCaseThanTheFiles) {
    testing_support::TempDir t;
    testing_support::StoreBuilder s(t / "velmor");
    s.account("Work.ACT", "Work").folder("Work.ACT/Inbox.FLD", "Inbox");
    for (const char* name : {"1.msg", "2.msg"})
        s.message(std::string("Work.ACT/Inbox.FLD/") + name, testing_support::messageHeaders(name, "a@b", "c@d"));
    s.age("Work.ACT/Inbox.FLD/1.msg", 90);
    const std::string message = readFile(t / "velmor/Work.ACT/Inbox.FLD/1.msg");
    std::string keep = testing_support::indexLine({"4", "4", "d", "t", "2", "c@d", "c@d", "a@b", "a@b", "1K", "2.MSG"});
    s.file("Work.ACT/Inbox.FLD/folder.bag",
           testing_support::indexLine({"3", "3", "d", "t", "1", "c@d", "c@d", "a@b", "a@b", "1K", "1.MSG"}) + keep);

    auto r = testing_support::runArchiver(s.mainDir(), {"/A", "30", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(messagesOf(zipMembers(t / "velmor/ARCHIV00.zip")), (Names{"Work.ACT/Inbox.FLD/1.msg"}));
    EXPECT_EQ(zipMember(t / "velmor/ARCHIV00.zip", "backup.bag").rfind("3\xDE" "3\xDE", 0), 0u);
    EXPECT_EQ(readFile(t / "velmor/Work.ACT/Inbox.FLD/folder.bag"), keep);
    EXPECT_EQ(testing_support::listDirectory(t / "velmor/Work.ACT/Inbox.FLD"),
              (Names{"2.msg", "folder.bag", "folder.ini"}));

    r = testing_support::runArchiver(s.mainDir(), {"/r", "/o", "ARCHIV00.zip"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(testing_support::listDirectory(t / "velmor"), (Names{"ARCHIV00.zip", "Work.ACT", "velmor.exe"}));
    EXPECT_EQ(testing_support::listDirectory(t / "velmor/Work.ACT/Inbox.FLD"),
              (Names{"1.msg", "2.msg", "folder.bag", "folder.ini"}));
    EXPECT_EQ(readFile(t / "velmor/Work.ACT/Inbox.FLD/1.msg"), message);
    EXPECT_EQ(testing_support::linesOf(readFile(t / "velmor/Work.ACT/Inbox.FLD/folder.bag")).size(), 2u);
}

TEST(ArchiveStoreShapes, NamesWithSpacesAndPercentSigns) {
    testing_support::TempDir t;
    testing_support::StoreBuilder s(t / "My Mail");
    s.account("my box.act", "Box").folder("my box.act/in box.fld", "In box");
    for (const char* name : {"1 2.msg", "50%s.msg"}) {
        s.message(std::string("my box.act/in box.fld/") + name,
                  {"Date: Tue, 14 Jul 1998 11:39:10 +0000", "From: a@b", "To: c@d", "Subject: 100% %d"});
        testing_support::setModifyTime(t / ("My Mail/my box.act/in box.fld/" + std::string(name)),
                                       std::time(nullptr) - 90 * 86400);
    }
    s.file("my box.act/in box.fld/folder.bag", "");

    auto r = testing_support::runArchiver(s.mainDir(), {"/V", "1", "/A", "30", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(messagesOf(zipMembers(t / "My Mail/ARCHIV00.zip")),
              (Names{"my box.act/in box.fld/1 2.msg", "my box.act/in box.fld/50%s.msg"}));
    EXPECT_NE(r.out.find("Rewriting bag file: .\\my box.act\\in box.fld\\folder.bag, total of 0 remaining files"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(exists(t / "My Mail/my box.act/in box.fld/1 2.msg"));
    EXPECT_FALSE(exists(t / "My Mail/my box.act/in box.fld/50%s.msg"));
    EXPECT_NE(zipMember(t / "My Mail/ARCHIV00.zip", "backup.bag").find("100% %d\xDE"), std::string::npos);
}

// A name with a byte of the upper half (0xE9, an e with an acute accent in
// code page 1252) is one name from the directory listing to backup.bag, the
// list file, the archive, and back into the folder and its index.
TEST(ArchiveStoreShapes, ANameWithAnEightBitByteComesBackTheSame) {
    testing_support::TempDir t;
    testing_support::StoreBuilder s(t / "velmor");
    const std::string name = "caf\xE9 1.msg";
    s.account("a.act", "A").folder("a.act/f.fld", "F").file("a.act/f.fld/folder.bag", "");
    s.message("a.act/f.fld/" + name, testing_support::messageHeaders("Caf\xE9", "a@b", "c@d"), "Body \xE9\n");
    s.age("a.act/f.fld/" + name, 90);
    const std::string message = readFile(t / ("velmor/a.act/f.fld/" + name));

    auto r = testing_support::runArchiver(s.mainDir(), {"/A", "30", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(testing_support::listDirectory(t / "velmor/a.act/f.fld"), (Names{"folder.bag", "folder.ini"}));
    EXPECT_NE(zipMember(t / "velmor/ARCHIV00.zip", "backup.bag").find("./a.act/f.fld/" + name + "\xDE"),
              std::string::npos);

    r = testing_support::runArchiver(s.mainDir(), {"/r", "/o", "ARCHIV00.zip"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(testing_support::listDirectory(t / "velmor/a.act/f.fld"), (Names{name, "folder.bag", "folder.ini"}))
        << r.out << r.err;
    EXPECT_EQ(readFile(t / ("velmor/a.act/f.fld/" + name)), message);
    EXPECT_NE(readFile(t / "velmor/a.act/f.fld/folder.bag").find("\xDE" + name + "\xDE\n"), std::string::npos);
}

}  // namespace

// A delete run of a few thousand messages in three folders: every thread of
// the run has work (reading ahead, noting, the archive test on both shares,
// the deleting threads). In the thread-sanitized build any race in them ends
// the run with the sanitizer's status instead of 0.
class ArchiveManyMessages : public StoreRun {};

TEST_F(ArchiveManyMessages, DeleteRunOfThousandsOfMessagesEndsCleanly) {
    store().account("work.act", "Work");
    const char* const folders[] = {"work.act/inbox.fld", "work.act/sent.fld", "work.act/inbox.fld/old.fld"};
    const int perFolder = 1000;
    for (const char* folder : folders) {
        store().folder(folder, "F");
        std::string bag;
        for (int i = 0; i < perFolder; ++i) {
            const std::string name = std::to_string(i) + ".msg";
            message(std::string(folder) + "/" + name, "Note " + std::to_string(i), "a@b.example", "c@d.example",
                    i % 2 ? 400 : 0);
            bag += builtLine("Note " + std::to_string(i), "a@b.example", "a@b.example", name, "1", "1");
        }
        store().file(std::string(folder) + "/folder.bag", bag);
    }
    auto r = archiver({"/A", "30", "/N"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    const Names members = messagesOf(zipMembers(at("ARCHIV00.zip")));
    EXPECT_EQ(members.size(), 3u * perFolder / 2);
    for (const char* folder : folders) {
        for (int i = 0; i < perFolder; ++i) {
            const std::string path = std::string(folder) + "/" + std::to_string(i) + ".msg";
            ASSERT_EQ(exists(at(path)), i % 2 == 0) << path;
        }
        EXPECT_EQ(testing_support::linesOf(readFile(at(std::string(folder) + "/folder.bag"))).size(),
                  static_cast<std::size_t>(perFolder / 2));
    }
}
