// Reading files and listings ahead on other threads: the caller gets what
// it would have read itself, in its own order, or is told to read it itself.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// The bytes up to and including the first "\n\n", as a header reader wants them.
std::size_t toBlankLine(const char* bytes, std::size_t size) {
    for (std::size_t i = 1; i < size; ++i)
        if (bytes[i] == '\n' && bytes[i - 1] == '\n') return i + 1;
    return 0;
}

std::string startOf(const platform::FileStart& s) { return std::string(s.bytes, s.size); }

}  // namespace

TEST(ReadAhead, FilesComeInOrderWithWhatTheReaderWants) {
    TempDir t;
    std::vector<std::string> paths, contents;
    for (int i = 0; i < 700; ++i) {  // more than the threads hold at a time
        std::string text = "head " + std::to_string(i) + "\n";
        if (i % 3 == 0) text += "\nbody " + std::string(static_cast<std::size_t>(i * 13), 'b');
        if (i % 7 == 0) text = std::string(5000, 'h') + "\n\nbody";  // no blank line in the first block
        paths.push_back(t / (std::to_string(i) + ".msg"));
        contents.push_back(text);
        writeFile(paths.back(), text);
    }
    std::remove(paths[5].c_str());
    platform::ReadAhead ahead(paths, toBlankLine);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        platform::FileStart start;
        const bool taken = ahead.take(paths[i], start);
        if (i == 5 || i % 7 == 0) {
            EXPECT_FALSE(taken) << i;  // gone, or more is wanted than was read: the caller reads it
            continue;
        }
        ASSERT_TRUE(taken) << i;
        EXPECT_EQ(start.descriptor, -1);
        const std::string& text = contents[i];
        const std::size_t blank = text.find("\n\n");
        EXPECT_EQ(startOf(start), blank == std::string::npos ? text : text.substr(0, blank + 2)) << i;
    }
}

TEST(ReadAhead, AnotherFileThanTheNextIsLeftToTheCaller) {
    TempDir t;
    writeFile(t / "a", "a\n\n");
    writeFile(t / "b", "b\n\n");
    platform::ReadAhead ahead({t / "a", t / "b"}, toBlankLine);
    platform::FileStart start;
    EXPECT_FALSE(ahead.take(t / "b", start));
    ASSERT_TRUE(ahead.take(t / "a", start));
    EXPECT_EQ(startOf(start), "a\n\n");
    ASSERT_TRUE(ahead.take(t / "b", start));
    EXPECT_EQ(startOf(start), "b\n\n");
    EXPECT_FALSE(ahead.take(t / "b", start));  // past the end
}

TEST(ReadAhead, OpenStartKeepsALongFileOpenAndDoesNotWaitForAPipe) {
    TempDir t;
    writeFile(t / "Long.msg", std::string(6000, 'x'));
    platform::FileStart start;
    ASSERT_TRUE(platform::openStart(t / "long.MSG", start, toBlankLine));  // found ignoring case
    EXPECT_EQ(start.size, platform::FileStart::capacity);
    ASSERT_GE(start.descriptor, 0);
    char rest[4096];
    EXPECT_EQ(platform::readSome(start.descriptor, rest, sizeof rest), 6000 - 4096);
    platform::closeDescriptor(start.descriptor);

    ASSERT_EQ(mkfifo((t / "pipe.msg").c_str(), 0600), 0);
    ASSERT_TRUE(platform::openStart(t / "pipe.msg", start, toBlankLine));  // would block without a writer
    EXPECT_EQ(start.size, 0u);
    EXPECT_EQ(start.descriptor, -1);

    EXPECT_FALSE(platform::openStart(t / "missing.msg", start, toBlankLine));
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
    platform::ListingsAhead ahead(searches);
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
