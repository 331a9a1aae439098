#include "program_state.h"

#include "platform.h"
#include "settings.h"
#include "util.h"

#include <algorithm>
#include <cstdio>
#include <string>

using namespace testing_support;

namespace {

const std::string T = "\xDE";

// Writes the entry's line to a file and returns the bytes.
std::string written(IndexEntry entry, bool keepPath) {
    TempDir dir;
    std::string path = dir / "out.bag";
    std::FILE* f = platform::openFile(path, "wb");
    EXPECT_NE(f, nullptr);
    EXPECT_EQ(writeIndexLine(f, entry, keepPath), 0);
    std::fclose(f);
    return readFile(path);
}

IndexEntry entryOf(std::vector<std::string> texts, int v1 = 1, int v2 = 1) {
    IndexEntry e{};
    e.value1 = v1;
    e.value2 = v2;
    char** fields[9] = {&e.date,          &e.time,          &e.subject,    &e.recipientAddress, &e.recipientName,
                        &e.senderAddress, &e.senderName,    &e.sizeText,   &e.fileName};
    for (int i = 0; i < 9; ++i) *fields[i] = keepString(texts[static_cast<std::size_t>(i)]);
    return e;
}

class IndexFileTest : public StoreTest {
protected:
    TempDir dir;
    std::string folder() const { return dir.path() + "/"; }
    std::vector<IndexEntry> read(IndexKind kind = IndexKind::folder) {
        LL* list = newList();
        readIndexFile(folder().c_str(), list, kind);
        return entriesOf(list);
    }
};

}  // namespace

TEST_F(IndexFileTest, WritesElevenFieldsEndingInSeparatorAndLineFeed) {
    IndexEntry e = entryOf({" 07/14/98", "11:39 ", " hello ", "a", "A", "b", "B", "3K", "./a.act/x.fld/9.msg"}, 7, -2);
    EXPECT_EQ(written(e, false), "7" + T + "-2" + T + "07/14/98" + T + "11:39" + T + "hello" + T + "a" + T + "A" +
                                     T + "b" + T + "B" + T + "3K" + T + "9.msg" + T + "\n");
    EXPECT_STREQ(e.subject, "hello");  // trimmed in place
    EXPECT_EQ(written(e, true), "7" + T + "-2" + T + "07/14/98" + T + "11:39" + T + "hello" + T + "a" + T + "A" +
                                    T + "b" + T + "B" + T + "3K" + T + "./a.act/x.fld/9.msg" + T + "\n");
}

TEST_F(IndexFileTest, NameWithoutSlashAndMissingTextsAreWrittenAsTheyAre) {
    IndexEntry e = entryOf({"d", "t", "s", "ra", "rn", "sa", "sn", "1K", "9.msg"});
    e.subject = nullptr;
    EXPECT_EQ(written(e, false), indexLine({"1", "1", "d", "t", "", "ra", "rn", "sa", "sn", "1K", "9.msg"}));
}

TEST_F(IndexFileTest, SeparatorInsideATextIsWrittenAsLowerCaseThorn) {
    IndexEntry e = entryOf({"d", "t", "\xDE" "ber " "\xDE", "ra", "rn", "sa", "J\xDE" "rn", "1K", "x\xDE.msg"});
    std::string line = written(e, false);
    EXPECT_EQ(line, indexLine({"1", "1", "d", "t", "\xFE" "ber \xFE", "ra", "rn", "sa", "J\xFE" "rn", "1K",
                               "x\xFE.msg"}));
    EXPECT_EQ(std::count(line.begin(), line.end(), '\xDE'), 11);
}

TEST_F(IndexFileTest, ReadsAWellFormedLineAndWritesItBackTrimmed) {
    writeFile(dir / "123.msg", "x");
    writeFile(dir / "folder.bag", indexLine({"1", "1", "07/14/98", "11:39", "hello ", "a", "A", "b", "B", "3K",
                                             "123.msg"}));
    auto entries = read();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_STREQ(entries[0].subject, "hello ");
    EXPECT_STREQ(entries[0].fileName, "123.msg");
    EXPECT_NE(entries[0].changeTime, 0);
    EXPECT_EQ(entries[0].selected, nullptr);
    EXPECT_EQ(entries[0].indexed, nullptr);
    EXPECT_EQ(written(entries[0], false),
              indexLine({"1", "1", "07/14/98", "11:39", "hello", "a", "A", "b", "B", "3K", "123.msg"}));
}

TEST_F(IndexFileTest, EmptyTextFieldsAreValidAndRoundTripByteForByte) {
    writeFile(dir / "5.msg", "x");
    std::string line = indexLine({"3", "0", "1998-07-14  ", "10:00:00", "", "", "", "b@x", "", "1K", "5.msg"});
    writeFile(dir / "folder.bag", line);
    auto entries = read();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].value1, 3);
    EXPECT_EQ(entries[0].value2, 0);
    EXPECT_STREQ(entries[0].subject, "");
    EXPECT_STREQ(entries[0].senderName, "");
    std::string back = written(entries[0], false);
    EXPECT_EQ(back, indexLine({"3", "0", "1998-07-14", "10:00:00", "", "", "", "b@x", "", "1K", "5.msg"}));
}

TEST_F(IndexFileTest, LongLinesAreReadWhole) {
    writeFile(dir / "7.msg", "x");
    std::string subject(5000, 's');
    std::string line = indexLine({"1", "1", "d", "t", subject, "a", "A", "b", "B", "9K", "7.msg"});
    writeFile(dir / "folder.bag", line + line);
    auto entries = read();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(std::string(entries[1].subject), subject);
    EXPECT_EQ(written(entries[0], false), line);
}

TEST_F(IndexFileTest, GarbageLinesAreSkippedAndGoodOnesKept) {
    writeFile(dir / "1.msg", "x");
    const std::string good = indexLine({"1", "1", "d", "t", "s", "a", "A", "b", "B", "1K", "1.msg"});
    std::string bag;
    bag += indexLine({"1", "1", "d", "t", "s", "a", "A", "b", "B", "1K"});          // ten fields
    bag += "x" + good;                                                            // non-numeric first field
    bag += indexLine({"", "1", "d", "t", "s", "a", "A", "b", "B", "1K", "1.msg"});  // empty number
    bag += "1" + T + "1" + T + "no separators at the end\n";
    bag += "\n\n";
    bag += std::string("\x01\xFF\x00\xDE\xDE garbage", 13) + "\n";
    bag += "1" + T + "1" + T + "d" + T + "t" + T + "s" + T + "a" + T + "A" + T + "b" + T + "B" + T + "1K" + T +
           "1.msg" + T + "\r\n";  // a line end written in text mode
    writeFile(dir / "folder.bag", good + bag + good + "1 1" + T + "1" + T);  // cut short, no line end
    auto entries = read();
    EXPECT_EQ(entries.size(), 3u);
    for (auto& e : entries) EXPECT_STREQ(e.fileName, "1.msg");
}

TEST_F(IndexFileTest, NumbersAreReadAsTheClientWroteThem) {
    writeFile(dir / "1.msg", "x");
    writeFile(dir / "folder.bag", indexLine({" -12", "+7", "d", "t", "s", "a", "A", "b", "B", "1K", "1.msg"}) +
                                      indexLine({"99999999999", "0", "d", "t", "s", "a", "A", "b", "B", "1K", "1.msg"}));
    auto entries = read();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].value1, -12);
    EXPECT_EQ(entries[0].value2, 7);
    EXPECT_EQ(entries[1].value1, 2147483647);
}

TEST_F(IndexFileTest, LinesOfMissingMessagesAreDroppedExceptWhenRestoring) {
    writeFile(dir / "There.MSG", "x");
    writeFile(dir / "folder.bag",
              indexLine({"1", "1", "d", "t", "s", "a", "A", "b", "B", "1K", "gone.msg"}) +
                  indexLine({"1", "1", "d", "t", "s", "a", "A", "b", "B", "1K", "there.msg"}));
    auto entries = read();
    ASSERT_EQ(entries.size(), 1u);  // the name is found whatever its case
    EXPECT_STREQ(entries[0].fileName, "there.msg");

    writeFile(dir / "backup.bag", indexLine({"1", "1", "d", "t", "s", "a", "A", "b", "B", "1K", "./a.act/gone.msg"}));
    entries = read(IndexKind::backup);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_STREQ(entries[0].fileName, "./a.act/gone.msg");
    EXPECT_EQ(entries[0].changeTime, 0);
}

TEST_F(IndexFileTest, ALineNamingADirectoryIsNoMessage) {
    // An empty name would find the folder itself; found by fuzzing, where
    // the look-up with and without the folder's listing disagreed.
    writeFile(dir / "1.msg", "x");
    testing_support::makeDirectories(dir / "sub.fld");
    writeFile(dir / "folder.bag", indexLine({"1", "1", "d", "t", "s", "a", "A", "b", "B", "1K", ""}) +
                                      indexLine({"1", "1", "d", "t", "s", "a", "A", "b", "B", "1K", "sub.fld"}) +
                                      indexLine({"1", "1", "d", "t", "s", "a", "A", "b", "B", "1K", "sub.fld/.."}) +
                                      indexLine({"1", "1", "d", "t", "s", "a", "A", "b", "B", "1K", "1.msg"}));
    for (bool withListing : {true, false}) {
        LL* list = newList();
        if (withListing)
            readIndexFile(folder().c_str(), list, IndexKind::folder);
        else
            readIndexFile(folder().c_str(), list, IndexKind::folder, nullptr);
        auto entries = entriesOf(list);
        ASSERT_EQ(entries.size(), 1u) << (withListing ? "with" : "without") << " the listing";
        EXPECT_STREQ(entries[0].fileName, "1.msg");
    }
}

TEST_F(IndexFileTest, AMissingIndexGivesNoEntriesAndIsTold) {
    LL* none = newList();
    readIndexFile(folder().c_str(), none, IndexKind::folder);
    EXPECT_EQ(CountLL(none), 0);
    EXPECT_FALSE(indexFileFound(none));

    writeFile(dir / "folder.bag", "");
    LL* empty = newList();
    readIndexFile(folder().c_str(), empty, IndexKind::folder);
    EXPECT_EQ(CountLL(empty), 0);
    EXPECT_TRUE(indexFileFound(empty));

    EXPECT_EQ(readIndexFile(nullptr, none, IndexKind::folder), 0);
    EXPECT_EQ(readIndexFile("", none, IndexKind::folder), 0);
}

TEST_F(IndexFileTest, AThornWrittenOutReadsBackWithItsFileName) {
    writeFile(dir / "42.msg", "x");
    IndexEntry e = entryOf({"d", "t", "\xDE" "ingvellir", "a", "A", "b", "\xDE" "ora", "1K", "./a.act/x.fld/42.msg"});
    writeFile(dir / "folder.bag", written(e, false));
    auto entries = read();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_STREQ(entries[0].fileName, "42.msg");
    EXPECT_STREQ(entries[0].subject, "\xFE" "ingvellir");
}

TEST_F(IndexFileTest, CreateFolderIniWritesTheDefaultLineAndNeverOverwrites) {
    EXPECT_EQ(createFolderIni(folder().c_str(), "Restored Files"), 1);
    EXPECT_EQ(readFile(dir / "folder.ini"),
              "Restored Files" + T + "1000" + T + "1" + T + "0;1;2;3;4;5;6;7;8;9" + T + "1" + T + "1" + T + "1" + T +
                  "0" + T + "\n");
    writeFile(dir / "folder.ini", "Mine" + T + "kept\n");
    EXPECT_EQ(createFolderIni(folder().c_str(), "Other"), 1);
    EXPECT_EQ(readFile(dir / "folder.ini"), "Mine" + T + "kept\n");
    EXPECT_EQ(createFolderIni((dir / "no/such/dir/").c_str(), "X"), 0);
}

TEST_F(IndexFileTest, ReadFolderNameTakesTheFirstFieldTrimmed) {
    writeFile(dir / "folder.ini", "  Inbox " + T + "rest" + T + "\nsecond line\n");
    EXPECT_STREQ(readFolderName(folder().c_str()), "Inbox");
    writeFile(dir / "folder.ini", "100% Caf\xE9 & co\n");
    EXPECT_STREQ(readFolderName(folder().c_str()), "100% Caf\xE9 & co");
    writeFile(dir / "folder.ini", std::string(600, 'n') + T);
    EXPECT_EQ(std::string(readFolderName(folder().c_str())), std::string(255, 'n'));
    EXPECT_STREQ(readFolderName((dir / "none/").c_str()), "");
}

TEST_F(IndexFileTest, ReadAccountNameReadsTheNameAtOffset512) {
    CurrentDirectory here(dir.path());
    testing_support::StoreBuilder store(dir.path());
    store.account("name.ACT", "  John Smith ");
    store.account("my.actual.act", "Act");
    store.file("short.act/acct.ini", std::string(100, 'x'));
    store.file("long.act/acct.ini", std::string(512, '\0') + std::string(400, 'L'));
    EXPECT_STREQ(readAccountName("name.ACT/"), "John Smith");
    EXPECT_STREQ(readAccountName("my.actual.act/"), "Act");
    EXPECT_STREQ(readAccountName("short.act/"), "");
    EXPECT_EQ(std::string(readAccountName("long.act/")), std::string(255, 'L'));
    EXPECT_EQ(readAccountName("name/"), nullptr);
    EXPECT_EQ(readAccountName("name.Act/"), nullptr);  // only the two spellings are accounts
}

TEST_F(IndexFileTest, AMissingAccountIniIsFatal) {
    CurrentDirectory here(dir.path());
    testing_support::makeDirectories(dir / "x%s.act");
    EXPECT_EXIT(readAccountName("x%s.act/"), ::testing::ExitedWithCode(1),
                "^\\[3640\\]: Account ini file \\[x%s\\.act/acct\\.ini\\]not found$");
}

// An archive's index taken block by block (as unzip hands it on) gives the
// entries the restore reads from backup.bag, wherever the blocks end.
TEST_F(IndexFileTest, AnIndexReadInBlocksGivesWhatTheRestoreReads) {
    const std::string good = indexLine({"5", "7", "d", "t", "s", "a", "A", "b", "B", "1K", "./a.act/f.fld/1.msg"});
    std::string bag = good;
    bag += indexLine({"1", "1", "d", "t", "s", "a", "A", "b", "B", "1K"});  // ten fields
    bag += "1" + T + "1" + T + "no separators at the end\n\n\r\n";
    bag += std::string("\x01\xFF\x00\xDE\xDE garbage", 13) + "\n";
    bag += indexLine({"2", "2", "d", "t", std::string(300000, 's'), "a", "A", "b", "B", "9K", "./a.act/f.fld/2.msg"});
    bag += "3" + T + "3" + T + "d" + T + "t" + T + "s" + T + "a" + T + "A" + T + "b" + T + "B" + T + "1K" + T +
           "./a.act/f.fld/3.msg" + T + "\r\n";
    bag += "4" + T + "4" + T + "d" + T + "t" + T + "" + T + "a" + T + "A" + T + "b" + T + "B" + T + "1K" + T +
           "./a.act/f.fld/4.msg" + T;  // empty subject, no line end at the end of the file

    writeFile(dir / "backup.bag", bag);
    const auto expected = read(IndexKind::backup);
    ASSERT_EQ(expected.size(), 4u);
    // An entry as values: the reader's texts last only until its next block.
    using Values = std::vector<std::string>;
    auto values = [](const IndexEntry& e) {
        return Values{std::to_string(e.value1), std::to_string(e.value2), std::to_string(e.changeTime), e.date, e.time,
                      e.subject, e.recipientAddress, e.recipientName, e.senderAddress, e.senderName, e.sizeText,
                      e.fileName};
    };
    std::vector<Values> want;
    for (const auto& e : expected) want.push_back(values(e));

    for (std::size_t blockSize : {bag.size(), std::size_t{1}, std::size_t{7}, std::size_t{64}, std::size_t{4096}}) {
        LL* list = newList();
        ArchiveIndexReader reader(list);
        std::vector<Values> got;
        auto take = [&] {
            for (const auto& e : entriesOf(list)) got.push_back(values(e));
            ClearLL(list);
        };
        for (std::size_t at = 0; at < bag.size(); at += blockSize) {
            reader.add(bag.data() + at, std::min(blockSize, bag.size() - at));
            take();
        }
        reader.finish();
        take();
        EXPECT_EQ(got, want) << "blocks of " << blockSize;
    }
}
