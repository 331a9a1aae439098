// Reading ahead: the scan gets, in its own order, the starts it would have
// read itself, and reading ahead really happens.
#include "folder_reader.h"
#include "header_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

std::string startOf(const platform::FileStart& s) { return std::string(s.bytes, s.size); }

std::vector<bool> everyFile(const FolderReader& reader) {
    std::vector<bool> wanted;
    for (const platform::DirEntry& e : reader.entries()) wanted.push_back(!(e.attributes & platform::attributeDirectory));
    return wanted;
}

}  // namespace

TEST(FolderReader, StartsComeInOrderAndAMissLeavesLaterFilesReadAhead) {
    TempDir t;
    std::vector<std::string> contents;
    for (int i = 0; i < 700; ++i) {  // more than the threads hold at a time
        std::string text = "Subject: " + std::to_string(i) + "\n";
        if (i % 3 == 0) text += "\nbody " + std::string(static_cast<std::size_t>(i * 13), 'b');
        if (i % 7 == 0) text = std::string(5000, 'h') + "\n\nbody";  // the header goes on beyond the first block
        contents.push_back(text);
        writeFile(t / (std::to_string(1000 + i) + ".msg"), text);
    }
    FolderReader reader(t.path() + "/", t.path() + "/");
    ASSERT_EQ(reader.entries().size(), 702u);  // with "." and ".."
    // Gone after the listing: the threads miss it, and only it.
    std::remove((t / "1005.msg").c_str());
    reader.readAhead(everyFile(reader), headerEndsWithin);
    const std::size_t hitsBefore = readAheadHits();
    for (std::size_t i = 2; i < reader.entries().size(); ++i) {
        const std::size_t n = i - 2;
        platform::FileStart start;
        const bool taken = reader.take(i, start);
        if (n == 5 || n % 7 == 0) {
            EXPECT_FALSE(taken) << n;  // the caller reads it itself
            continue;
        }
        ASSERT_TRUE(taken) << n;
        EXPECT_FALSE(start.file.isOpen());
        const std::string& text = contents[n];
        const std::size_t blank = text.find("\n\n");
        EXPECT_EQ(startOf(start), blank == std::string::npos ? text : text.substr(0, blank + 2)) << n;
    }
    EXPECT_EQ(readAheadHits() - hitsBefore, 700u - 1u - 100u);  // all but the vanished one and every seventh
}

TEST(FolderReader, OnlyTheChosenEntriesAreReadAndOnlyInOrder) {
    TempDir t;
    for (int i = 0; i < 20; ++i) writeFile(t / (std::to_string(10 + i) + ".msg"), "Subject: " + std::to_string(i) + "\n\n");
    makeDirectories(t / "sub.fld");
    FolderReader reader(t.path() + "/", t.path() + "/");
    std::vector<bool> wanted = everyFile(reader);
    for (std::size_t i = 0; i < wanted.size(); i += 2) wanted[i] = false;  // the caller's own choice
    reader.readAhead(wanted, headerEndsWithin);
    platform::FileStart start;
    std::size_t first = 0;
    while (!wanted[first]) ++first;
    EXPECT_FALSE(reader.take(first + 2, start));  // not the next one: nothing is taken
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (!wanted[i]) {
            EXPECT_FALSE(reader.take(i, start)) << i;
            continue;
        }
        ASSERT_TRUE(reader.take(i, start)) << reader.entries()[i].name;
        EXPECT_EQ(startOf(start), "Subject: " + std::to_string(std::stoi(reader.entries()[i].name) - 10) + "\n\n");
    }
}

TEST(FolderReader, AFolderNamedInAnotherCaseIsReadAheadUnderItsDiskSpelling) {
    TempDir t;
    for (int i = 0; i < 50; ++i) writeFile(t / ("Work.ACT/" + std::to_string(i) + ".MSG"), "To: a\n\n");
    // The scan names the folder as the user wrote it; the disk spells it otherwise.
    const std::string asAsked = t / "work.act/";
    FolderReader reader(asAsked, platform::resolvePath(asAsked));
    ASSERT_EQ(reader.entries().size(), 52u);
    reader.readAhead(everyFile(reader), headerEndsWithin);
    const std::size_t hitsBefore = readAheadHits();
    platform::FileStart start;
    for (std::size_t i = 2; i < reader.entries().size(); ++i) EXPECT_TRUE(reader.take(i, start)) << i;
    EXPECT_EQ(readAheadHits() - hitsBefore, 50u);
}

TEST(FolderReader, GoingAwayPartWayStopsTheThreads) {
    TempDir t;
    for (int i = 0; i < 2000; ++i) writeFile(t / (std::to_string(i) + ".msg"), "Subject: x\n\n");
    for (int taken : {0, 1, 10, 600}) {
        FolderReader reader(t.path() + "/", t.path() + "/");
        reader.readAhead(everyFile(reader), headerEndsWithin);
        platform::FileStart start;
        for (int i = 0; i < taken; ++i) ASSERT_TRUE(reader.take(static_cast<std::size_t>(i) + 2, start));
    }  // each reader is destroyed with its threads still reading or waiting
    FolderReader few(t.path() + "/", t.path() + "/");
    few.readAhead(std::vector<bool>{false, false, true, true, true}, headerEndsWithin);
    platform::FileStart start;
    EXPECT_FALSE(few.take(2, start));  // too few to be worth the threads
}

TEST(ListingsAhead, ListingsEqualThoseMadeOnTheSpot) {
    TempDir t;
    for (const char* d : {"a.fld", "b.fld", "c.fld"}) {
        makeDirectories(t / d);
        // One large directory among small ones.
        for (int i = 0; i < (d[0] == 'b' ? 400 : 3); ++i)
            writeFile(t / (std::string(d) + "/" + std::to_string(i) + ".msg"), std::string(static_cast<std::size_t>(i), 'x'));
    }
    makeDirectories(t / "b.fld/sub.fld");
    std::vector<std::string> searches = {t / "a.fld/*.*", t / "b.fld/*.*", t / "c.fld/*.*"};
    ListingsAhead ahead(searches);
    for (const std::string& search : searches) {
        std::vector<platform::DirEntry> got;
        ASSERT_TRUE(ahead.take(search, got)) << search;
        const std::vector<platform::DirEntry> direct = platform::findEntries(search);
        ASSERT_EQ(got.size(), direct.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].name, direct[i].name);
            EXPECT_EQ(got[i].attributes, direct[i].attributes) << got[i].name;
            EXPECT_EQ(got[i].modifyTime, direct[i].modifyTime);
            if (got[i].name.size() > 4 && got[i].name.compare(got[i].name.size() - 4, 4, ".msg") == 0) {
                EXPECT_EQ(got[i].size, std::stoll(got[i].name)) << got[i].name;  // i.msg holds i bytes
            }
        }
    }
    std::vector<platform::DirEntry> none;
    EXPECT_FALSE(ahead.take(t / "a.fld/*.*", none));
}
