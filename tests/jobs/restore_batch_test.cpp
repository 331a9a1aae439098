// The restore's batches from the inside: which members one unzip run is
// given, and how index paths find their members in a listing.
#include "restore.h"
#include "restore_batch.h"

#include "program_state.h"
#include "settings.h"
#include "store.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ts = testing_support;

namespace {

ArchiveMember member(const std::string& name) {
    ArchiveMember m;
    m.name = name;
    return m;
}

TEST(ArchiveMembers, FindsIndexPathsInEveryFormAndCase) {
    ArchiveMembers members;
    members.assign({member("Work.act/Inbox.fld/12.MSG"), member("work.act/inbox.fld/caf\xC3\xA9 1.msg"),
                    member("home.act/in.fld/r\x82sum\x82.msg"), member("home.act/in.fld/"),
                    member("a.act/f.fld/[1]*.msg")});
    ASSERT_EQ(members.size(), 5u);
    const auto name = [&](const std::string& path) {
        const ArchiveMember* m = members.find(path);
        return m ? m->name : std::string("(none)");
    };
    EXPECT_EQ(name("./work.act/inbox.fld/12.msg"), "Work.act/Inbox.fld/12.MSG");
    EXPECT_EQ(name(".\\WORK.act\\\\inbox.fld\\.\\12.msg"), "Work.act/Inbox.fld/12.MSG");
    // The client's 0xE9 as unzip on Linux shows zip.exe's UTF-8 name, and
    // as an unzip that only knows the OEM bytes (code page 850) shows it.
    EXPECT_EQ(name("./work.act/inbox.fld/CAF\xE9 1.msg"), "work.act/inbox.fld/caf\xC3\xA9 1.msg");
    EXPECT_EQ(name("./home.act/in.fld/r\xE9sum\xE9.msg"), "home.act/in.fld/r\x82sum\x82.msg");
    EXPECT_EQ(name("./a.act/f.fld/[1]*.msg"), "a.act/f.fld/[1]*.msg");
    EXPECT_EQ(name("./work.act/inbox.fld/13.msg"), "(none)");
    EXPECT_EQ(name("./home.act/in.fld"), "(none)");  // a directory's own entry is no file
}

TEST(ArchiveMembers, CountsTheMessagesOfEachDirectory) {
    ArchiveMembers members;
    members.assign({member("a.act/acct.ini"), member("a.act/f.fld/folder.ini"), member("a.act/f.fld/1.msg"),
                    member("a.act/F.FLD/2.msg"), member("a.act/f.fld/g.fld/3.msg"), member("b.act/f.fld/1.msg"),
                    member("b.act/f.fld/1.MSG")});
    const ArchiveMember& a = *members.find("a.act/f.fld/1.msg");
    const ArchiveMember& g = *members.find("a.act/f.fld/g.fld/3.msg");
    const ArchiveMember& b = *members.find("b.act/f.fld/1.msg");
    EXPECT_EQ(members.messagesBeside(a), 2u);  // its directory in any case, messages only
    EXPECT_TRUE(members.messagesBelow(a));
    EXPECT_FALSE(members.casesClashBeside(a));
    EXPECT_EQ(members.messagesBeside(g), 1u);
    EXPECT_FALSE(members.messagesBelow(g));
    EXPECT_EQ(members.messagesBeside(b), 2u);
    EXPECT_TRUE(members.casesClashBeside(b));
}

TEST(ArchiveMembers, TheDirectoryPatternWhereNamesWouldCostMore) {
    EXPECT_TRUE(extractWholeDirectory(20000, 20000, 20010));  // every message of the folder
    EXPECT_TRUE(extractWholeDirectory(15000, 20000, 20010));
    EXPECT_FALSE(extractWholeDirectory(3, 20000, 20010));  // a few of a large folder
    EXPECT_FALSE(extractWholeDirectory(5, 6, 10));         // most of a folder of a small archive
    EXPECT_FALSE(extractWholeDirectory(0, 6, 10));
}

// Runs of restoreMessages in a store made current, with the real unzip;
// archiver.dbg records each unzip run.
class RestoreBatches : public ts::InTempDirectory {
protected:
    void SetUp() override {
        ts::freshSettings();
        settings.job = jobRestore;
        settings.originalLocation = true;
        settings.archiveFile = archive.c_str();
        ts::StoreBuilder(".").account("a.act", "A").folder("a.act/f.fld", "F");
        ts::makeDirectories("stage/a.act/f.fld");
        for (int i = 1; i <= 7; ++i) ts::writeFile("stage/a.act/f.fld/" + name(i), "Subject: " + name(i) + "\n\nbody\n");
        auto r = ts::run(ts::findProgram("zip"), {"-q", "-r", "../a.zip", "a.act"}, withWorkDir("stage"));
        ASSERT_EQ(r.status, 0) << r.err;
        ts::setEnvironment("ARCHIVER_DEBUG", "1");
    }
    static std::string name(int i) { return std::to_string(i) + ".msg"; }
    static ts::RunOptions withWorkDir(const std::string& dir) {
        ts::RunOptions o;
        o.workDir = dir;
        return o;
    }
    // The restore list of messages 1 to `last`.
    LL* listOf(int last) {
        std::string bag;
        for (int i = 1; i <= last; ++i)
            bag += ts::indexLine({"1", "1", "d", "t", "s", "r", "R", "f", "F", "1K", "./a.act/f.fld/" + name(i)});
        ts::writeFile("backup.bag", bag);
        LL* list = ts::newList();
        readIndexFile("./", list, IndexKind::backup);
        return list;
    }
    // The member names of each unzip run that extracted messages.
    std::vector<std::vector<std::string>> messageRuns() {
        std::vector<std::vector<std::string>> runs;
        for (const std::string& line : ts::linesOf(ts::readFile("archiver.dbg"))) {
            if (line.compare(0, 7, "args: [") != 0 || line.find(" -j ") == std::string::npos) continue;
            std::vector<std::string> names;
            for (std::size_t at = line.find(" a.act/f.fld/"); at != std::string::npos;
                 at = line.find(" a.act/f.fld/", at + 1))
                names.push_back(line.substr(at + 1, line.find_first_of(" ]", at + 1) - at - 1));
            runs.push_back(names);
        }
        return runs;
    }
    void expectRestored(int last) {
        std::string index;
        for (int i = 1; i <= last; ++i) {
            EXPECT_EQ(ts::readFile("a.act/f.fld/" + name(i)), "Subject: " + name(i) + "\n\nbody\n") << i;
            index += ts::indexLine({"1", "1", "d", "t", "s", "r", "R", "f", "F", "1K", name(i)});
        }
        EXPECT_EQ(ts::readFile("a.act/f.fld/folder.bag"), index);
        EXPECT_EQ(ts::listDirectory("a.act"), (std::vector<std::string>{"acct.ini", "f.fld"}));  // no staging left
    }
    const std::string archive = "a.zip";
};

TEST_F(RestoreBatches, NamesGoInBatchesAsLongAsTheCommandLineAllows) {
    // Room for two names: six of the folder's seven messages take three runs.
    const std::size_t limit = extractWordsLength("a.act/.archiver-XXXXXX", archive.c_str()) +
                              patternLength("a.act/f.fld/1.msg") * 2;
    restoreMessages(listOf(6), limit);
    EXPECT_EQ(messageRuns(), (std::vector<std::vector<std::string>>{{"a.act/f.fld/1.msg", "a.act/f.fld/2.msg"},
                                                                    {"a.act/f.fld/3.msg", "a.act/f.fld/4.msg"},
                                                                    {"a.act/f.fld/5.msg", "a.act/f.fld/6.msg"}}));
    expectRestored(6);
}

TEST_F(RestoreBatches, OneRunForTheFolderWithTheSystemsLimit) {
    restoreMessages(listOf(6));
    ASSERT_EQ(messageRuns().size(), 1u);
    EXPECT_EQ(messageRuns()[0].size(), 6u);
    expectRestored(6);
}

TEST_F(RestoreBatches, EveryMessageOfTheFolderByItsPattern) {
    restoreMessages(listOf(7), 1);  // no room for names: the pattern needs none
    EXPECT_EQ(messageRuns(), (std::vector<std::vector<std::string>>{{"a.act/f.fld/*.msg"}}));
    expectRestored(7);
}

TEST_F(RestoreBatches, ANameTooLongForTheLimitStillGoesAlone) {
    restoreMessages(listOf(2), 1);
    EXPECT_EQ(messageRuns(), (std::vector<std::vector<std::string>>{{"a.act/f.fld/1.msg"}, {"a.act/f.fld/2.msg"}}));
    expectRestored(2);
}

}  // namespace
