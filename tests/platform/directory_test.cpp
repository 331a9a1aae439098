// Directory search: the entries that match a wildcard, in name order
// without regard to case, with their attributes, sizes and times. Windows
// matches with the system's own search (short names included).
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

#ifdef _WIN32

namespace {

const platform::DirEntry* entryNamed(const std::vector<platform::DirEntry>& entries, const std::string& name) {
    for (const auto& e : entries)
        if (e.name == name) return &e;
    return nullptr;
}

}  // namespace

TEST(WindowsSearch, TheSystemsWildcardsAttributesSizesAndTimes) {
    TempDir t;
    writeFile(t / "b.msg", "12345");
    writeFile(t / "A.msg", "1");
    writeFile(t / "README", "");
    writeFile(t / "archiv07.ZIP", "");
    writeFile(t / "archiv123.zip", "");
    makeDirectories(t / "Inbox.fld");
    setModifyTime(t / "b.msg", 900000000);

    const auto all = platform::findEntries(t.path() + "\\*.*");
    EXPECT_EQ(namesOf(all), (std::vector<std::string>{".", "..", "A.msg", "archiv07.ZIP", "archiv123.zip", "b.msg",
                                                      "Inbox.fld", "README"}));
    const platform::DirEntry* b = entryNamed(all, "b.msg");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->size, 5);
    EXPECT_EQ(b->modifyTime, 900000000);
    EXPECT_NE(b->changeTime, 0) << "the creation time";
    EXPECT_EQ(b->attributes & platform::attributeDirectory, 0u);
    const platform::DirEntry* inbox = entryNamed(all, "Inbox.fld");
    ASSERT_NE(inbox, nullptr);
    EXPECT_EQ(inbox->attributes & platform::attributeDirectory, platform::attributeDirectory);

    EXPECT_EQ(namesOf(platform::findEntries(t / "*.MSG")), (std::vector<std::string>{"A.msg", "b.msg"}));
    EXPECT_EQ(namesOf(platform::findEntries(t / "ARCHIV??.zip")), (std::vector<std::string>{"archiv07.ZIP"}));
    EXPECT_TRUE(platform::findEntries(t / "missing/*.*").empty());
}

#else

TEST(PlatformSearch, EntriesComeInNameOrderIgnoringCaseWithAttributes) {
    TempDir t;
    writeFile(t / "b.msg", "12345");
    writeFile(t / "A.msg", "1");
    writeFile(t / "c.txt", "");
    makeDirectories(t / "Inbox.fld");
    auto entries = platform::findEntries(t.path() + "\\*.*");
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "A.msg", "b.msg", "c.txt", "Inbox.fld"}));
    for (const auto& e : entries) {
        if (e.name == "b.msg") {
            EXPECT_EQ(e.size, 5);
        } else if (e.name == "Inbox.fld") {
            EXPECT_EQ(e.attributes & platform::attributeDirectory, platform::attributeDirectory);
        } else if (e.name == "A.msg") {
            EXPECT_EQ(e.attributes & platform::attributeDirectory, 0u);
        }
    }
    auto msgs = platform::findEntries(t / "*.MSG");
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0].name, "A.msg");
    EXPECT_TRUE(platform::findEntries(t / "missing/*.*").empty());
}

#endif
