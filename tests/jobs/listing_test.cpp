// The listing job end to end: the built archiver with the real zip and
// unzip, on archives laid out here (so that backup.bag can also hold what
// no archive job would write), checked against what a restore with the
// same options brings back.
#include "listing.h"
#include "archiver_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace ts = testing_support;

namespace {

std::string folderIni(const std::string& name) { return name + "\xDE" "archived settings\xDE\n"; }

// One message of an archive: where it lies and what its index line says.
struct Archived {
    std::string path;  // as backup.bag holds it, without the leading "./"
    std::string subject;
    std::string from;
    std::string to = "ann@work.example";
    std::string date = "1998-07-14";
};

std::string bagLine(const Archived& m) {
    return ts::indexLine({"1", "1", m.date, "11:39:10", m.subject, m.to, m.to, m.from, m.from, "1K", "./" + m.path});
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

// The listed lines of a run: those with a tab (the banner and the count
// have none).
std::vector<std::string> listed(const ts::RunResult& r) {
    std::vector<std::string> out;
    for (const auto& line : lines(r.out))
        if (line.find('\t') != std::string::npos) out.push_back(line);
    return out;
}

std::string lastLine(const ts::RunResult& r) {
    const auto all = lines(r.out);
    return all.empty() ? std::string() : all.back();
}

std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool isMessage(const std::string& path) { return path.size() > 4 && lowered(path.substr(path.size() - 4)) == ".msg"; }

class ArchiveListing : public ::testing::Test {
protected:
    // Accounts and folders of the store, without messages, so that what a
    // restore brings back shows as new files.
    static void buildStore(const std::string& dir) {
        ts::StoreBuilder(dir)
            .account("work.act", "Work")
            .account("home.act", "Home")
            .folder("work.act/inbox.fld", "Inbox")
            .folder("work.act/inbox.fld/sub.fld", "Sub")
            .folder("work.act/other.fld", "Other")
            .folder("home.act/inbox.fld", "Inbox");
    }

    // Packs `messages` (and `extraBagLines` in backup.bag after theirs)
    // with the folders' settings into mainDir/`name`.
    void pack(const std::string& name, const std::vector<Archived>& messages, const std::string& extraBagLines = "",
              bool withBackupBag = true) {
        ts::TempDir stage;
        std::string bag;
        for (const auto& m : messages) {
            ts::writeFile(stage / m.path, "Subject: " + m.subject + "\n\nBody of " + m.path + "\n");
            const std::string folder = m.path.substr(0, m.path.rfind('/'));
            if (!ts::exists(stage / (folder + "/folder.ini"))) ts::writeFile(stage / (folder + "/folder.ini"), folderIni(folder));
            bag += bagLine(m);
        }
        bag += extraBagLines;
        if (withBackupBag) ts::writeFile(stage / "backup.bag", bag);
        ts::makeDirectories(at(name.substr(0, name.rfind('/') + 1)));
        ts::RunOptions o;
        o.workDir = stage.path();
        auto r = ts::run(ts::findProgram("zip"), {"-q", "-r", at(name), "."}, o);
        ASSERT_EQ(r.status, 0) << r.err;
    }

    ts::RunResult archiver(const std::vector<std::string>& args, ts::RunOptions o = {}) {
        return ts::runArchiver(mainDir, args, o);
    }
    ts::RunResult list(std::vector<std::string> args) {
        args.insert(args.begin(), "/L");
        return archiver(args);
    }

    // The messages a restore (/o, into their folders) with `options` brings
    // back from `archive` into a fresh store: their paths, lower-cased.
    std::set<std::string> restoredBy(const std::vector<std::string>& options, const std::string& archive) {
        ts::TempDir fresh;
        const std::string dir = fresh / "velmor";
        buildStore(dir);
        const auto before = ts::snapshot(dir);
        std::vector<std::string> args{"/r", "/o"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back("--");
        args.push_back(at(archive));
        auto r = ts::runArchiver(dir, args);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        std::set<std::string> out;
        for (const auto& [path, bytes] : ts::snapshot(dir))
            if (isMessage(path) && !before.count(path)) out.insert(lowered(path));
        return out;
    }

    std::string at(const std::string& relative) const { return mainDir + "/" + relative; }

    ts::TempDir tmp;
    const std::string mainDir = tmp / "velmor";
};

// Two archives that share a message, a message path in mixed case and a
// line that a restore refuses.
class ArchiveListingSelection : public ArchiveListing {
protected:
    void SetUp() override {
        buildStore(mainDir);
        const Archived shared{"work.act/inbox.fld/1.msg", "Invoice one", "news@x"};
        pack("archives/2026-12-01-00.zip",
             {shared,
              {"work.act/inbox.fld/sub.fld/2.msg", "Meeting", "boss@x", "bob@home.example"},
              {"Work.ACT/Other.FLD/3.msg", "Invoice three", "Boss@x", "ann@work.example", "2001-02-03"},
              {"home.act/inbox.fld/4.msg", "Holiday", "news@x", "bob@home.example", "2003-04-05"}},
             ts::indexLine({"1", "1", "1998-07-14", "11:39:10", "Invoice escape", "a@x", "a@x", "news@x", "news@x",
                            "1K", "./work.act/../../outside.act/x.fld/9.msg"}));
        pack("archives/2026-12-08-00.zip",
             {shared,
              {"home.act/inbox.fld/5.msg", "Invoice five", "shop@x", "bob@home.example", "2004-05-06"},
              {"work.act/inbox.fld/6.msg", "Meeting again", "boss@x", "ann@work.example", "2005-06-07"}});
    }
};

TEST_F(ArchiveListingSelection, EveryArchiveInNameOrderEachMessageInIndexOrder) {
    auto r = list({"archives/*.zip"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(listed(r), (std::vector<std::string>{
                             "archives/2026-12-01-00.zip\t1998-07-14\t11:39:10\tnews@x\tInvoice one\t./work.act/inbox.fld/1.msg",
                             "archives/2026-12-01-00.zip\t1998-07-14\t11:39:10\tboss@x\tMeeting\t./work.act/inbox.fld/sub.fld/2.msg",
                             "archives/2026-12-01-00.zip\t2001-02-03\t11:39:10\tBoss@x\tInvoice three\t./Work.ACT/Other.FLD/3.msg",
                             "archives/2026-12-01-00.zip\t2003-04-05\t11:39:10\tnews@x\tHoliday\t./home.act/inbox.fld/4.msg",
                             "archives/2026-12-08-00.zip\t1998-07-14\t11:39:10\tnews@x\tInvoice one\t./work.act/inbox.fld/1.msg",
                             "archives/2026-12-08-00.zip\t2004-05-06\t11:39:10\tshop@x\tInvoice five\t./home.act/inbox.fld/5.msg",
                             "archives/2026-12-08-00.zip\t2005-06-07\t11:39:10\tboss@x\tMeeting again\t./work.act/inbox.fld/6.msg",
                         }));
    // The line whose path climbs out of the store is read, but not listed:
    // a restore refuses it.
    EXPECT_EQ(lastLine(r), "Listed 7 of 8 message(s) in 2 archive(s)");
}

// What is listed from an archive is what a restore with the same options
// brings back from it, for every kind of selection.
TEST_F(ArchiveListingSelection, ListsExactlyWhatARestoreWithTheSameOptionsRestores) {
    const std::vector<std::vector<std::string>> selections = {
        {},
        {"/a", "WORK.act"},                          // account directory, any case
        {"/b", "hom"},                               // account display name
        {"/G", "inbox.fld"},                         // folder, not nested
        {"/n", "/G", "inbox.fld"},                   // folder and the folders below it
        {"/n", "/G", "inbox", "/G", "sub"},          // every folder selector must match
        {"/s", "invoice"},                           // subject prefix
        {"/S", "Meet"},                              // subject substring
        {"/F", "BOSS"},                              // sender
        {"/T", "bob@"},                              // recipient
        {"/s", "invoice", "/F", "boss"},             // any one criterion
        {"/R", "/s", "invoice", "/F", "boss"},       // every criterion
        {"/D", "2002/01/01"},                        // the message's own date
        {"/a", "work.act", "/s", "Meeting", "/R", "/T", "ann"},
        {"/s", "nothing like it"},
    };
    const std::vector<std::string> archives = {"archives/2026-12-01-00.zip", "archives/2026-12-08-00.zip"};
    std::set<std::size_t> sizes;
    for (const auto& options : selections) {
        std::vector<std::string> args = options;
        args.push_back("archives/*.zip");
        auto r = list(args);
        std::set<std::string> fromListing[2];
        for (const auto& line : listed(r)) {
            const auto f = split(line);
            ASSERT_EQ(f.size(), 6u) << line;
            const std::size_t which = f[0] == archives[0] ? 0 : 1;
            EXPECT_EQ(f[0], archives[which]);
            fromListing[which].insert(lowered(f[5].substr(2)));
        }
        std::size_t total = 0;
        for (std::size_t i = 0; i < archives.size(); ++i) {
            EXPECT_EQ(fromListing[i], restoredBy(options, archives[i]))
                << "options: " << ::testing::PrintToString(options) << ", archive " << archives[i];
            total += fromListing[i].size();
        }
        EXPECT_EQ(r.status, total > 0 ? 0 : 1) << ::testing::PrintToString(options) << r.out << r.err;
        sizes.insert(total);
    }
    // The selections really select: many different counts, none and all.
    EXPECT_GE(sizes.size(), 6u);
    EXPECT_TRUE(sizes.count(0));
    EXPECT_TRUE(sizes.count(7));
}

TEST_F(ArchiveListingSelection, ThePathIsShownAsTheIndexHoldsItWhenSelectionsCompareItInLowerCase) {
    auto r = list({"/a", "work.act", "/G", "other.fld", "archives/2026-12-01*"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(listed(r), (std::vector<std::string>{"archives/2026-12-01-00.zip\t2001-02-03\t11:39:10\tBoss@x\t"
                                                   "Invoice three\t./Work.ACT/Other.FLD/3.msg"}));
    EXPECT_EQ(lastLine(r), "Listed 1 of 5 message(s) in 1 archive(s)");
}

TEST_F(ArchiveListingSelection, NothingSelectedEndsWithOne) {
    auto r = list({"/s", "nothing like it", "archives/*.ZIP"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(listed(r).empty()) << r.out;
    EXPECT_EQ(lastLine(r), "Listed 0 of 8 message(s) in 2 archive(s)");
}

TEST_F(ArchiveListing, WithoutANameEveryNumberedArchiveOfTheStartDirectory) {
    buildStore(mainDir);
    pack("ARCHIV00.zip", {{"work.act/inbox.fld/1.msg", "First", "a@x"}});
    pack("archiv01.ZIP", {{"work.act/inbox.fld/2.msg", "Second", "a@x"}});
    pack("ARCHIV1.zip", {{"work.act/inbox.fld/3.msg", "Not numbered alike", "a@x"}});
    pack("ARCHIV100.zip", {{"work.act/inbox.fld/4.msg", "Not numbered alike", "a@x"}});
    pack("old/ARCHIV02.zip", {{"work.act/inbox.fld/5.msg", "Elsewhere", "a@x"}});

    auto r = archiver({"/L"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(listed(r), (std::vector<std::string>{
                             "ARCHIV00.zip\t1998-07-14\t11:39:10\ta@x\tFirst\t./work.act/inbox.fld/1.msg",
                             "archiv01.ZIP\t1998-07-14\t11:39:10\ta@x\tSecond\t./work.act/inbox.fld/2.msg",
                         }));

    // A name without wildcards; without ".zip", as a restore takes it.
    r = list({"old/archiv02"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(listed(r), (std::vector<std::string>{
                             "old/ARCHIV02.zip\t1998-07-14\t11:39:10\ta@x\tElsewhere\t./work.act/inbox.fld/5.msg"}));
}

TEST_F(ArchiveListing, RelativeNamesAreTakenFromTheStartDirectoryAsTheArchiveJobWritesThem) {
    buildStore(mainDir);
    ts::makeDirectories(tmp / "elsewhere");
    pack("../elsewhere/ARCHIV00.zip", {{"work.act/inbox.fld/1.msg", "First", "a@x"}});
    ts::RunOptions o;
    o.workDir = tmp / "elsewhere";
    auto r = ts::runArchiver(tmp / "elsewhere", {"/p", mainDir, "/L"}, o);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(listed(r), (std::vector<std::string>{
                             "ARCHIV00.zip\t1998-07-14\t11:39:10\ta@x\tFirst\t./work.act/inbox.fld/1.msg"}));
}

TEST_F(ArchiveListing, DamagedArchivesAreNamedAndTheOthersListed) {
    buildStore(mainDir);
    pack("archives/a.zip", {{"work.act/inbox.fld/1.msg", "First", "a@x"}});
    ts::writeFile(at("archives/b.zip"), "not a zip archive at all\n");
    pack("archives/c.zip", {{"work.act/inbox.fld/2.msg", "Second", "a@x"}}, "", false);
    ts::makeDirectories(at("archives/d.zip"));
    ts::writeFile(at("archives/e.zip"), "");
    pack("archives/f.zip", {{"work.act/inbox.fld/3.msg", "Third", "a@x"}},
         "garbage without separators\n" "1\xDE" "1\xDE" "only four fields\xDE\n");

    auto r = list({"archives/*.zip"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(listed(r), (std::vector<std::string>{
                             "archives/a.zip\t1998-07-14\t11:39:10\ta@x\tFirst\t./work.act/inbox.fld/1.msg",
                             "archives/f.zip\t1998-07-14\t11:39:10\ta@x\tThird\t./work.act/inbox.fld/3.msg",
                         }));
    EXPECT_EQ(lastLine(r), "Listed 2 of 2 message(s) in 2 archive(s)");
    // A warning for each, in name order, and nothing between them (unzip,
    // which runs ahead, keeps its own words).
    EXPECT_EQ(r.err, "[4541]: Not a readable archive: archives/b.zip\n"
                     "[4542]: No backup.bag in archives/c.zip: not listed\n"
                     "[4541]: Not a readable archive: archives/d.zip\n"
                     "[4541]: Not a readable archive: archives/e.zip\n");
}

TEST_F(ArchiveListing, APatternThatMatchesNothingSaysSoAndEndsWithOne) {
    buildStore(mainDir);
    ts::makeDirectories(at("archives"));
    auto r = list({"archives/*.zip"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[4543]: No archive matches archives/*.zip\n");
    EXPECT_TRUE(listed(r).empty());

    r = list({"nowhere/*.zip"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[4543]: No archive matches nowhere/*.zip\n");

    r = archiver({"/L"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[4543]: No archive matches ARCHIV??.zip\n");
}

// Nothing is written anywhere: not in the store, not beside the archives,
// not in the temporary directory (the private copy of backup.bag is gone),
// and a backup.bag of the main directory is never replaced.
TEST_F(ArchiveListing, TheStoreAndTheArchivesStayByteForByte) {
    buildStore(mainDir);
    pack("archives/a.zip", {{"work.act/inbox.fld/1.msg", "First", "a@x"}, {"home.act/inbox.fld/2.msg", "Second", "b@x"}});
    pack("archives/b.zip", {{"work.act/other.fld/3.msg", "Third", "a@x"}}, "", false);
    ts::writeFile(at("backup.bag"), "the main directory's own backup.bag\n");
    ts::writeFile(at("archive.tmp"), "the main directory's own list file\n");
    ts::makeDirectories(tmp / "private");
    const auto before = ts::snapshot(tmp.path());

    ts::RunOptions o;
    o.env = {std::string(ts::temporaryDirectoryVariable) + "=" + (tmp / "private")};
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/L", "archives/*.zip"}, {"/L", "/V", "1", "/a", "work.act", "archives/*.zip"},
          {"/L", "/s", "nothing", "archives/*.zip"}, {"/L", "archives/none*.zip"}}) {
        auto r = archiver(args, o);
        // The job ran to its end.
        EXPECT_TRUE(r.out.find("\nListed ") != std::string::npos || r.err == "[4543]: No archive matches archives/none*.zip\n")
            << r.out << r.err;
        EXPECT_EQ(ts::snapshot(tmp.path()), before) << ::testing::PrintToString(args);
    }
}

TEST_F(ArchiveListing, ReportFileAndProgress) {
    buildStore(mainDir);
    pack("archives/a.zip", {{"work.act/inbox.fld/1.msg", "First", "Ann <ann@x>"}});
    auto r = list({"/V", "1", "/O", "list.rpt", "archives/*.zip"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\nListing archives\\a.zip\n"), std::string::npos) << r.out;
    const std::string line = "archives/a.zip\t1998-07-14\t11:39:10\tAnn <ann@x>\tFirst\t./work.act/inbox.fld/1.msg";
    EXPECT_EQ(listed(r), std::vector<std::string>{line});
    const std::string report = ts::readTextFile(at("list.rpt"));
    EXPECT_NE(report.find("Listing archives\\a.zip\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\n" + line + "\nListed 1 of 1 message(s) in 1 archive(s)\n"), std::string::npos) << report;
}

TEST_F(ArchiveListing, SettingsListingNamesTheJobAndThePattern) {
    buildStore(mainDir);
    auto r = archiver({"/V", "4", "/L"});
    EXPECT_EQ(r.status, 0);
    const auto shown = lines(ts::listing(r));
    ASSERT_GE(shown.size(), 2u) << r.out;
    EXPECT_EQ(shown[0], "Archive listing requested");
    EXPECT_EQ(shown[1], "Archive file name: ARCHIV??.zip");

    r = archiver({"/V", "4", "/L", "archives/*.zip"});
    EXPECT_NE(r.out.find("\nArchive file name: archives\\*.zip\n"), std::string::npos) << r.out;
}

TEST_F(ArchiveListing, WithAnotherJobOrADeletionItIsAUsageError) {
    buildStore(mainDir);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"/L", "/r"}, "option L cannot be combined with option r"},
        {{"/r", "/L"}, "option L cannot be combined with option r"},
        {{"/L", "/I"}, "option L cannot be combined with option I"},
        {{"/I", "/L"}, "option L cannot be combined with option I"},
        {{"/L", "/i"}, "option L cannot be combined with option i"},
        {{"/i", "name", "/L"}, "option L cannot be combined with option i"},
        {{"/L", "/N"}, "option L cannot be combined with option N"},
        {{"/NL"}, "option L cannot be combined with option N"},
        {{"/L", "/L"}, "option L specified multiple times"},
    };
    for (const auto& [args, message] : cases) {
        auto r = archiver(args);
        EXPECT_EQ(r.status, 1) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out.substr(0, message.size() + 1), message + "\n") << r.out;
        EXPECT_TRUE(ts::showsUsage(r)) << r.out;
    }
    auto r = archiver({"/L", "/Q"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[2420]: Query mode is only valid when restoring files.");
}

// A sort or a deletion that archive.cfg asks of every run does not make a
// listing write.
TEST_F(ArchiveListing, StandingSortAndDeleteOfTheConfigurationDoNotApply) {
    buildStore(mainDir);
    pack("ARCHIV00.zip", {{"work.act/inbox.fld/1.msg", "First", "a@x"}});
    const std::string book = ts::addressRecord({"zed"}) + ts::addressRecord({"abe"});
    ts::writeFile(tmp / "tools/addr.db", book);
    ts::writeFile(at("archive.cfg"), "sort name\ndelete\n-N\n");
    const auto before = ts::snapshot(tmp.path());

    auto r = archiver({"/L"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(listed(r).size(), 1u) << r.out;
    EXPECT_EQ(ts::snapshot(tmp.path()), before);

    r = archiver({"/V", "4", "/L"});
    EXPECT_EQ(r.out.find("Sort parm"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Files will be deleted"), std::string::npos) << r.out;
}

// ---- the listed line ------------------------------------------------------

// listedLine only reads the texts.
IndexEntry entryOf(const char* subject, const char* senderAddress, const char* senderName) {
    IndexEntry e{};
    e.date = const_cast<char*>("1998-07-14");
    e.time = const_cast<char*>("11:39:10");
    e.subject = const_cast<char*>(subject);
    e.senderAddress = const_cast<char*>(senderAddress);
    e.senderName = const_cast<char*>(senderName);
    return e;
}

TEST(ListedLine, SixFieldsWhateverTheTexts) {
    EXPECT_EQ(listedLine("a.zip", entryOf("Hi", "ann@x", "Ann"), "./a.act/f.fld/1.msg"),
              "a.zip\t1998-07-14\t11:39:10\tAnn <ann@x>\tHi\t./a.act/f.fld/1.msg");
    // Without a name of its own, the address alone.
    EXPECT_EQ(listedLine("a.zip", entryOf("Hi", "ann@x", "ann@x"), "p"), "a.zip\t1998-07-14\t11:39:10\tann@x\tHi\tp");
    EXPECT_EQ(listedLine("a.zip", entryOf("Hi", "ann@x", "(null)"), "p"), "a.zip\t1998-07-14\t11:39:10\tann@x\tHi\tp");
    EXPECT_EQ(listedLine("a.zip", entryOf("Hi", "ann@x", ""), "p"), "a.zip\t1998-07-14\t11:39:10\tann@x\tHi\tp");
    // Tabs and line ends inside a field would make more fields or lines.
    EXPECT_EQ(listedLine("a\tb.zip", entryOf("One\ttwo\r\nthree", "x\t@y", "N\tM"), "p\tq"),
              "a b.zip\t1998-07-14\t11:39:10\tN M <x @y>\tOne two  three\tp q");
}

}  // namespace
