// The reindex job end to end: folder indexes rebuilt from the message
// files that are there, by the built archiver.
#include "archiver_run.h"

#include <algorithm>

using testing_support::exists;
using testing_support::listDirectory;
using testing_support::readFile;
using testing_support::snapshot;

namespace {

using Names = std::vector<std::string>;

class ReindexTest : public StoreRun {
protected:
    void SetUp() override {
        store().account("a.act", "Ann").account("b.act", "Bob");
        store().folder("a.act/in.fld", "In").folder("a.act/case.fld", "Case").folder("a.act/ext.fld", "Ext");
        store().folder("a.act/new.fld", "New").folder("a.act/x.fld", "X").folder("a.act/x.fld/y.fld", "Y");
        store().folder("a.act/empty.fld", "Empty").folder("b.act/in.fld", "In");

        message("a.act/in.fld/1.msg", "One", "\"Ann\" <ann@home.example>");
        message("a.act/in.fld/2.msg", "Two", "ann@home.example");
        store().file("a.act/in.fld/folder.bag", kept2 + builtLine("Three", "c", "c@x", "3.msg"));

        message("a.act/case.fld/note.msg", "Note", "n@x");
        store().file("a.act/case.fld/folder.bag", builtLine("Old note", "n", "n@x", "Note.msg", "8", "8"));

        message("a.act/ext.fld/5.msg", "Five", "f@x");
        store().file("a.act/ext.fld/5.txt", "not a message\n");
        store().file("a.act/ext.fld/folder.bag", kept5);

        message("a.act/new.fld/7.msg", "Seven", "s@x");
        message("a.act/x.fld/y.fld/8.msg", "Eight", "e@x");
        message("a.act/loose.msg", "Loose", "l@x");

        message("b.act/in.fld/9.msg", "Nine", "n@x");
        store().file("b.act/in.fld/folder.bag", builtLine("Lost", "l", "l@x", "4.msg"));
    }

    // Lines of the client's own, with values and texts the headers would not give.
    const std::string kept2 = testing_support::indexLine(
        {"5", "6", "07/14/98", "11:39", "Two (edited)", "bob@work.example", "Bob", "ann@home.example", "Ann", "2K",
         "2.msg"});
    const std::string kept5 = testing_support::indexLine(
        {"2", "0", "d", "t", "Five as text", "r@x", "R", "f@x", "F", "1K", "5.txt"});
};

TEST_F(ReindexTest, EveryFolderIndexMatchesItsMessages) {
    std::uint64_t oldIndex = inodeOf(at("a.act/in.fld/folder.bag"));
    auto r = archiver({"/I"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");

    // Surviving lines first, unchanged, then new ones; the missing 3.msg is gone.
    EXPECT_EQ(readFile(at("a.act/in.fld/folder.bag")), kept2 + builtLine("One", "Ann", "ann@home.example", "1.msg"));
    EXPECT_NE(inodeOf(at("a.act/in.fld/folder.bag")), oldIndex) << "replaced by a rename, not written in place";
    // Keys are compared exactly: the line for "Note.msg" does not stand for "note.msg".
    EXPECT_EQ(readFile(at("a.act/case.fld/folder.bag")), builtLine("Note", "n@x", "n@x", "note.msg"));
    // Keys leave the extension out: the line for 5.txt stands for 5.msg.
    EXPECT_EQ(readFile(at("a.act/ext.fld/folder.bag")), kept5);
    // Folders without an index get one, also an empty one.
    EXPECT_EQ(readFile(at("a.act/new.fld/folder.bag")), builtLine("Seven", "s@x", "s@x", "7.msg"));
    EXPECT_EQ(readFile(at("a.act/x.fld/y.fld/folder.bag")), builtLine("Eight", "e@x", "e@x", "8.msg"));
    EXPECT_TRUE(exists(at("a.act/x.fld/folder.bag")));
    EXPECT_EQ(readFile(at("a.act/x.fld/folder.bag")), "");
    EXPECT_TRUE(exists(at("a.act/empty.fld/folder.bag")));
    EXPECT_EQ(readFile(at("b.act/in.fld/folder.bag")), builtLine("Nine", "n@x", "n@x", "9.msg"));

    // Only folders have indexes; the job leaves no file of its own behind.
    EXPECT_FALSE(exists(at("a.act/folder.bag")));
    EXPECT_FALSE(exists(at("folder.bag")));
    EXPECT_FALSE(exists(at("archive.tmp")));
    EXPECT_EQ(listDirectory(at("a.act/in.fld")), (Names{"1.msg", "2.msg", "folder.bag", "folder.ini"}));
    EXPECT_EQ(listDirectory(mainDir()), (Names{"a.act", "b.act", "velmor.exe"}));

    // A second run finds nothing to change.
    auto before = snapshot(mainDir());
    r = archiver({"/I"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(snapshot(mainDir()), before);
}

TEST_F(ReindexTest, VerboseTellsWhatChangesDeepestFoldersFirst) {
    auto r = archiver({"/I", "/V", "1"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string& out = r.out;
    std::size_t last = 0;
    for (const std::string& text :
         {std::string("Reindexing files\n"), std::string("Scanning folders and files:\n"),
          std::string("\nFolder scan completed\n\n"), std::string("Total of 8 files read\n\n"),
          std::string("Average of "), std::string(" lines\\file read\n"),
          std::string("Inserting bag entry for new file: .\\a.act\\case.fld\\note.msg\n"),
          std::string("Deleting bag entry for file, file not found: Note.msg\n"),
          std::string("Inserting bag entry for new file: .\\a.act\\in.fld\\1.msg\n"),
          std::string("Rewriting bag file: .\\a.act\\in.fld\\folder.bag, total of 2 remaining files\n"),
          std::string("Rewriting bag file: .\\a.act\\x.fld\\y.fld\\folder.bag, total of 1 remaining files\n"),
          std::string("Rewriting bag file: .\\a.act\\x.fld\\folder.bag, total of 0 remaining files\n"),
          std::string("Rewriting bag file: .\\a.act\\folder.bag, total of 1 remaining files\n"),
          std::string("Rewriting bag file: .\\b.act\\in.fld\\folder.bag, total of 1 remaining files\n"),
          std::string("Rewriting bag file: .\\folder.bag, total of 0 remaining files\n")}) {
        std::size_t at = out.find(text, last);
        ASSERT_NE(at, std::string::npos) << "missing or out of order: [" << text << "]\n" << out;
        last = at + text.size();
    }
    // The line of 3.msg was left out when the index was read: it is not "deleted" here.
    EXPECT_EQ(out.find("file not found: 3.msg"), std::string::npos);
    EXPECT_NE(out.find("File not found: .\\a.act\\in.fld\\3.msg"), std::string::npos) << out;
}

TEST_F(ReindexTest, AccountDirectoryLimitsTheJob) {
    auto before = snapshot(at("a.act"));
    auto r = archiver({"/I", "/a", "b.act"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(readFile(at("b.act/in.fld/folder.bag")), builtLine("Nine", "n@x", "n@x", "9.msg"));
    EXPECT_EQ(snapshot(at("a.act")), before);
}

TEST_F(ReindexTest, NeedsNoListFileForZip) {
    // Nothing goes to zip: a directory where the list file would go neither
    // stops the job nor is touched by it.
    testing_support::writeFile(at("archive.tmp/kept"), "x");
    auto r = archiver({"/I"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(at("a.act/new.fld/folder.bag")), builtLine("Seven", "s@x", "s@x", "7.msg"));
    EXPECT_EQ(readFile(at("archive.tmp/kept")), "x");
}

TEST_F(ReindexTest, IndexThatCannotBeReplacedIs4655AndEarlierOnesStay) {
    // A directory where b.act's index belongs: it cannot be renamed over.
    std::remove(at("b.act/in.fld/folder.bag").c_str());
    testing_support::writeFile(at("b.act/in.fld/folder.bag/x"), "x");
    auto r = archiver({"/I"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[4655]: Error opening bag file: ./b.act/in.fld/folder.bag");
    EXPECT_EQ(readFile(at("a.act/new.fld/folder.bag")), builtLine("Seven", "s@x", "s@x", "7.msg"));
    EXPECT_EQ(listDirectory(at("b.act/in.fld")), (Names{"9.msg", "folder.bag", "folder.ini"}));
    EXPECT_FALSE(exists(at("archive.tmp")));
}

TEST(ReindexStoreShapes, MixedCaseDirectoriesGetTheirIndexInPlace) {
    testing_support::TempDir t;
    testing_support::StoreBuilder s(t / "velmor");
    s.account("Work.ACT", "Work").folder("Work.ACT/Inbox.FLD", "Inbox");
    s.message("Work.ACT/Inbox.FLD/1.msg", {"Date: Tue, 14 Jul 1998 11:39:10 +0000", "From: a@b", "To: c@d",
                                           "Subject: hi"});
    auto r = testing_support::runArchiver(s.mainDir(), {"/I", "/a", "work.act"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(readFile(t / "velmor/Work.ACT/Inbox.FLD/folder.bag"),
              testing_support::indexLine({"1", "1", "1998-07-14", "11:39:10", "hi", "c@d", "c@d", "a@b", "a@b", "1K",
                                          "1.msg"}));
    EXPECT_EQ(listDirectory(t / "velmor"), (Names{"Work.ACT", "velmor.exe"}));
    EXPECT_EQ(listDirectory(t / "velmor/Work.ACT"), (Names{"Inbox.FLD", "acct.ini"}));
}

TEST(ReindexStoreShapes, SeparatorByteInsideTextsKeepsElevenFields) {
    testing_support::TempDir t;
    testing_support::StoreBuilder s(t / "velmor");
    s.account("a.act", "A").folder("a.act/in.fld", "In");
    s.message("a.act/in.fld/t.msg", {"Date: Tue, 14 Jul 1998 11:39:10 +0000", "From: \"\xDEor\" <thor@x>", "To: c@d",
                                     "Subject: \xDEing"});
    auto r = testing_support::runArchiver(s.mainDir(), {"/I"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    std::string index = readFile(t / "velmor/a.act/in.fld/folder.bag");
    EXPECT_EQ(std::count(index.begin(), index.end(), '\xDE'), 11) << index;
    EXPECT_EQ(index, testing_support::indexLine({"1", "1", "1998-07-14", "11:39:10", "\xFEing", "c@d", "c@d",
                                                 "thor@x", "\xFEor", "1K", "t.msg"}));
    // Read back by a second run, the line keeps its file and stays as it is.
    r = testing_support::runArchiver(s.mainDir(), {"/I"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(readFile(t / "velmor/a.act/in.fld/folder.bag"), index);
}

}  // namespace
