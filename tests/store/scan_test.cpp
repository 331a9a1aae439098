#include "program_state.h"

#include "folder_reader.h"
#include "listfile.h"
#include "settings.h"

#include <algorithm>
#include <sstream>

using namespace testing_support;

namespace {

std::vector<std::string> headers(const std::string& subject, const std::string& from = "a@example.com") {
    return {"From: " + from, "To: b@example.com", "Subject: " + subject, "Date: Tue, 14 Jul 1998 11:39:10 -0400"};
}

class ScanTest : public StoreTest {
protected:
    TempDir tmp;
    StoreBuilder store{tmp.path()};
    LL* selected = nullptr;
    LL* indexed = nullptr;

    void SetUp() override {
        StoreTest::SetUp();
        store.account("work.act", "John Work")
            .folder("work.act/inbox.fld", "Inbox")
            .message("work.act/inbox.fld/1.msg", headers("first"))
            .message("work.act/inbox.fld/2.MSG", headers("second", "news@example.org"))
            .file("work.act/inbox.fld/notes.txt", "not a message\n")
            .folder("work.act/inbox.fld/sub.fld", "Workshop")
            .message("work.act/inbox.fld/sub.fld/3.msg", headers("third"))
            .folder("work.act/internal.fld", "Wo")
            .message("work.act/internal.fld/8.msg", headers("eighth"))
            .folder("work.act/sent.fld", "")
            .message("work.act/sent.fld/4.msg", headers("fourth"))
            .account("home.act", "JOANNA")
            .message("home.act/7.msg", headers("loose"))
            .folder("home.act/inbox.fld", "Inbox")
            .message("home.act/inbox.fld/5.msg", headers("fifth"))
            .folder("home.act/.hidden.fld", "Hidden")
            .message("home.act/.hidden.fld/6.msg", headers("sixth"))
            .account("other.act", "Mary");
    }

    // Scans dir in the store as the archive job does; returns the list file's lines.
    std::vector<std::string> scan(const char* dir = "./") {
        CurrentDirectory here(tmp.path());
        selected = newList();
        indexed = newList();
        EXPECT_NE(openListFile(), nullptr);
        ScanRules rules;
        rules.takePath = [](const std::string& path) { addSpelledPathToListFile(path); };
        scanDirectory(dir, selected, indexed, true, rules);
        closeListFile();
        std::vector<std::string> lines;
        std::istringstream in(testing_support::readTextFile(tmp / "archive.tmp"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        removeListFile();
        return lines;
    }

    static std::vector<std::string> messagesOf(const std::vector<std::string>& lines) {
        std::vector<std::string> out;
        for (auto& l : lines)
            if (l.size() > 4 && (l.compare(l.size() - 4, 4, ".msg") == 0 || l.compare(l.size() - 4, 4, ".MSG") == 0))
                out.push_back(l);
        return out;
    }

    // The node of `name` in a list of the scan tree.
    static const IndexEntry* node(LL* list, const std::string& name) {
        for (auto* e = TypedLL<IndexEntry>(list).first(); e; e = TypedLL<IndexEntry>::next(e))
            if (e->selected && name == e->fileName) return e;
        return nullptr;
    }
};

}  // namespace

TEST_F(ScanTest, WithoutSelectorsEveryFolderIsTakenAndEverySettingsFileListed) {
    auto lines = scan();
    const std::vector<std::string> expected = {
        "./home.act/acct.ini",
        "./home.act/7.msg",
        "./home.act/inbox.fld/folder.ini",
        "./home.act/inbox.fld/5.msg",
        "./other.act/acct.ini",
        "./work.act/acct.ini",
        "./work.act/inbox.fld/folder.ini",
        "./work.act/inbox.fld/1.msg",
        "./work.act/inbox.fld/2.MSG",
        "./work.act/inbox.fld/sub.fld/folder.ini",
        "./work.act/inbox.fld/sub.fld/3.msg",
        "./work.act/internal.fld/folder.ini",
        "./work.act/internal.fld/8.msg",
        "./work.act/sent.fld/folder.ini",
        "./work.act/sent.fld/4.msg",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(archiveFileCount, static_cast<int>(expected.size()));
    EXPECT_EQ(filesRead, 7);

    // The tree mirrors the directories: three accounts, their folders below.
    EXPECT_EQ(CountLL(selected), 3);
    const IndexEntry* work = node(selected, "work.act/");
    ASSERT_NE(work, nullptr);
    const IndexEntry* inbox = node(work->selected, "inbox.fld/");
    ASSERT_NE(inbox, nullptr);
    auto inboxEntries = entriesOf(inbox->selected);
    ASSERT_EQ(inboxEntries.size(), 3u);  // 1.msg, 2.MSG and the node of sub.fld
    EXPECT_STREQ(inboxEntries[0].fileName, "./work.act/inbox.fld/1.msg");
    EXPECT_STREQ(inboxEntries[0].subject, "first");
    EXPECT_STREQ(inboxEntries[0].time, "15:39:10");
    EXPECT_TRUE(inboxEntries[2].selected != nullptr);
    EXPECT_NE(node(node(selected, "home.act/")->selected, "inbox.fld/"), nullptr);
    EXPECT_EQ(node(node(selected, "home.act/")->selected, ".hidden.fld/"), nullptr);

    long long bytes = 0;
    for (const char* m : {"home.act/7.msg", "home.act/inbox.fld/5.msg", "work.act/inbox.fld/1.msg",
                          "work.act/inbox.fld/2.MSG", "work.act/inbox.fld/sub.fld/3.msg",
                          "work.act/internal.fld/8.msg", "work.act/sent.fld/4.msg"})
        bytes += static_cast<long long>(readFile(tmp / m).size());
    EXPECT_EQ(archiveBytes, bytes);
}

TEST_F(ScanTest, FiltersDecideWhichMessagesAreKept) {
    addString(settings.fromAddress, "news");
    auto lines = scan();
    EXPECT_EQ(messagesOf(lines), std::vector<std::string>{"./work.act/inbox.fld/2.MSG"});
    EXPECT_EQ(filesRead, 7);  // all were read, one was kept
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "./work.act/sent.fld/folder.ini"), 1);
}

TEST_F(ScanTest, DirectoryNameSelectorsArePrefixesAtAnyDepth) {
    addSelector(settings.folderDir, "in", 0);
    EXPECT_EQ(messagesOf(scan()),
              (std::vector<std::string>{"./home.act/7.msg", "./home.act/inbox.fld/5.msg", "./work.act/inbox.fld/1.msg",
                                        "./work.act/inbox.fld/2.MSG", "./work.act/internal.fld/8.msg"}));
    freshSettings();
    addSelector(settings.folderDir, "inbox.fldx", 0);
    EXPECT_EQ(messagesOf(scan()), std::vector<std::string>{"./home.act/7.msg"});
    freshSettings();
    addSelector(settings.folderDir, "SUB", 1);  // the nested flag plays no part for a name
    EXPECT_EQ(messagesOf(scan()),
              (std::vector<std::string>{"./home.act/7.msg", "./work.act/inbox.fld/sub.fld/3.msg"}));
}

TEST_F(ScanTest, DisplayNameSelectorsCompareTheShorterLength) {
    addSelector(settings.folderName, "Work", 0);  // "Workshop" and "Wo", never the empty name
    EXPECT_EQ(messagesOf(scan()), (std::vector<std::string>{"./home.act/7.msg", "./work.act/inbox.fld/sub.fld/3.msg",
                                                           "./work.act/internal.fld/8.msg"}));
}

TEST_F(ScanTest, PathSelectorsNameOneFolderOrATree) {
    addSelector(settings.folderDir, "WORK.act\\Inbox.fld", 0);
    EXPECT_EQ(messagesOf(scan()), (std::vector<std::string>{"./home.act/7.msg", "./work.act/inbox.fld/1.msg",
                                                           "./work.act/inbox.fld/2.MSG"}));
    freshSettings();
    addSelector(settings.folderDir, "./work.act/inbox.fld/", 1);
    EXPECT_EQ(messagesOf(scan()),
              (std::vector<std::string>{"./home.act/7.msg", "./work.act/inbox.fld/1.msg", "./work.act/inbox.fld/2.MSG",
                                        "./work.act/inbox.fld/sub.fld/3.msg"}));
    freshSettings();
    addSelector(settings.folderDir, ".\\work.act\\inbox.fld\\sub.fld", 0);
    EXPECT_EQ(messagesOf(scan()),
              (std::vector<std::string>{"./home.act/7.msg", "./work.act/inbox.fld/sub.fld/3.msg"}));
    freshSettings();
    addSelector(settings.folderDir, "home.act\\inbox", 1);  // components are compared whole
    EXPECT_EQ(messagesOf(scan()), std::vector<std::string>{"./home.act/7.msg"});
}

TEST_F(ScanTest, NestedDisplayNameSelectorTakesTheFoldersBelow) {
    addSelector(settings.folderName, "inbox", 1);
    EXPECT_EQ(messagesOf(scan()),
              (std::vector<std::string>{"./home.act/7.msg", "./home.act/inbox.fld/5.msg", "./work.act/inbox.fld/1.msg",
                                        "./work.act/inbox.fld/2.MSG", "./work.act/inbox.fld/sub.fld/3.msg"}));
    std::vector<std::string> selectors;
    TypedLL<FolderSelector>(settings.folderDir).forEach([&](const FolderSelector& s) {
        selectors.push_back(s.name);
        EXPECT_EQ(s.nested, 1);
    });
    EXPECT_EQ(selectors, (std::vector<std::string>{".\\home.act\\inbox.fld\\", ".\\work.act\\inbox.fld\\"}));
}

TEST_F(ScanTest, AnAccountDirectoryAlone) {
    auto lines = scan("./home.act/");
    EXPECT_EQ(lines, (std::vector<std::string>{"./home.act/7.msg", "./home.act/inbox.fld/folder.ini",
                                               "./home.act/inbox.fld/5.msg"}));
}

TEST_F(ScanTest, IndexesAreReadIntoTheNodesAndMissingMessagesDropped) {
    store.file("work.act/inbox.fld/folder.bag",
               testing_support::indexLine({"5", "6", "d", "t", "s", "a", "A", "b", "B", "1K", "1.msg"}) +
                   testing_support::indexLine({"1", "1", "d", "t", "s", "a", "A", "b", "B", "1K", "gone.msg"}));
    scan();
    const IndexEntry* inbox = node(node(selected, "work.act/")->selected, "inbox.fld/");
    ASSERT_NE(inbox, nullptr);
    auto entries = entriesOf(inbox->indexed);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].value1, 5);
    EXPECT_TRUE(indexFileFound(inbox->indexed));
    EXPECT_FALSE(indexFileFound(node(node(selected, "work.act/")->selected, "sent.fld/")->indexed));
}

TEST_F(ScanTest, NullArgumentsDoNothing) {
    EXPECT_EQ(scanDirectory(nullptr, newList(), nullptr, true, ScanRules{}), 0);
    EXPECT_EQ(scanDirectory("./", nullptr, nullptr, true, ScanRules{}), 0);
    EXPECT_EQ(archiveFileCount, 0);
}

TEST_F(ScanTest, AccountNamesResolveToDirectories) {
    CurrentDirectory here(tmp.path());
    store.file("stray.act", "a file, not an account\n");
    addString(settings.accountName, "jo");
    resolveAccountNames();
    EXPECT_EQ(stringsOf(settings.accountDir), (std::vector<std::string>{"home.act", "work.act"}));
    EXPECT_EQ(CountLL(settings.accountName), 0);

    freshSettings();
    settings.verbose = 1;
    addString(settings.accountName, "nobody");
    addString(settings.accountName, "MARY 100%");
    addString(settings.accountName, "mar");
    ::testing::internal::CaptureStdout();
    resolveAccountNames();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Account \"Mary\",  dir added for name match (MARY 100%): other.act\n\n");
    EXPECT_EQ(stringsOf(settings.accountDir), std::vector<std::string>{"other.act"});
}

// A large folder is read by the reading threads. Whatever the shape of a
// header (longer than one block, its empty line split at the block's end,
// no empty line at all, a zero byte), each message gives the entry it
// gives when read alone.
TEST_F(ScanTest, MessagesReadAheadGiveTheEntriesOfMessagesReadAlone) {
    const std::string dir = "work.act/big.fld/";
    store.folder("work.act/big.fld", "Big");
    std::vector<std::string> names;
    std::size_t wholeInOneBlock = 0;  // the files the threads can hand over whole
    auto add = [&](const std::string& name, const std::string& bytes) {
        store.file(dir + name, bytes);
        names.push_back(name);
        const std::size_t block = std::min(bytes.size(), platform::FileStart::capacity);
        if (bytes.size() < platform::FileStart::capacity || headerEndsWithin(bytes.data(), block) != 0)
            ++wholeInOneBlock;
    };
    const std::string tail = "To: b@example.com\r\nSubject: s\r\nDate: Tue, 14 Jul 1998 11:39:10 -0400\r\n";
    for (int i = 0; i < 300; ++i) {
        std::string received;
        for (int k = 0; k < i % 150; ++k) received += "Received: from relay" + std::to_string(k) + ".example.net by mx\r\n";
        add(std::to_string(1000 + i) + ".msg",
            "From: \"N " + std::to_string(i) + "\" <n" + std::to_string(i) + "@example.com>\r\n" + received + tail +
                "\r\nbody " + std::string(static_cast<std::size_t>(i * 37 % 9000), 'x') + "\r\n");
    }
    // The empty line's CR and LF on either side of the first block's end.
    std::string split = "From: split@example.com\r\nSubject: split\r\nX-Fill: ";
    split += std::string(4095 - split.size() - 2, 'f') + "\r\n\r";
    ASSERT_EQ(split.size(), 4096u);
    add("2000.msg", split + "\nTo: after@example.com\r\n\r\n");
    add("2001.msg", "Subject: no empty line\r\n" + std::string(5000, 'y'));  // the header runs to the end
    add("2002.msg", std::string("Subject: zero\r\n\0To: hidden@example.com\r\n", 41));
    add("2003.msg", "");

    const std::size_t hitsBefore = readAheadHits();
    scan();
    // Every message whose header ends in the first block came from the
    // reading threads.
    EXPECT_GT(wholeInOneBlock, 150u);
    EXPECT_EQ(readAheadHits() - hitsBefore, wholeInOneBlock);
    const IndexEntry* big = node(node(selected, "work.act/")->selected, "big.fld/");
    ASSERT_NE(big, nullptr);
    const auto scanned = entriesOf(big->selected);
    ASSERT_EQ(scanned.size(), names.size());
    CurrentDirectory here(tmp.path());
    const std::string scanDir = "./" + dir;
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto alone = readFileContents(scanDir.c_str(), names[i].c_str(), 0);
        ASSERT_TRUE(alone.has_value()) << names[i];
        const IndexEntry& a = *alone;
        const IndexEntry& s = scanned[i];
        EXPECT_STREQ(s.fileName, a.fileName);
        EXPECT_STREQ(s.senderAddress, a.senderAddress) << names[i];
        EXPECT_STREQ(s.senderName, a.senderName) << names[i];
        EXPECT_STREQ(s.recipientAddress, a.recipientAddress) << names[i];
        EXPECT_STREQ(s.subject, a.subject) << names[i];
        EXPECT_STREQ(s.date, a.date) << names[i];
        EXPECT_STREQ(s.time, a.time) << names[i];
    }
    // What the headers say, whichever way they were read: the reading
    // alone goes through the same opening, so it cannot vouch for it.
    for (std::size_t i = 0; i < 300; ++i) {
        EXPECT_STREQ(scanned[i].senderName, ("N " + std::to_string(i)).c_str());
        EXPECT_STREQ(scanned[i].recipientAddress, "b@example.com") << names[i];
        EXPECT_STREQ(scanned[i].subject, "s") << names[i];
        EXPECT_STREQ(scanned[i].date, "1998-07-14  ") << names[i];
        EXPECT_STREQ(scanned[i].time, "15:39:10") << names[i];
    }
    EXPECT_STREQ(scanned[300].recipientAddress, "(null)");  // the To: after the empty line is body
    EXPECT_STREQ(scanned[302].recipientAddress, "(null)");  // a zero byte ends the header
    EXPECT_STREQ(scanned[302].subject, "zero");
}

// An account named in another letter case than the disk's is still read
// ahead: the threads open the names the listing found.
TEST_F(ScanTest, AnAccountNamedInAnotherCaseIsReadAhead) {
    for (int i = 0; i < 40; ++i) store.message("Play.ACT/Many.FLD/" + std::to_string(i) + ".msg", headers("m"));
    const std::size_t hitsBefore = readAheadHits();
    const auto lines = scan("./play.act/many.fld/");
    EXPECT_EQ(messagesOf(lines).size(), 40u);
    EXPECT_EQ(readAheadHits() - hitsBefore, 40u);
}
