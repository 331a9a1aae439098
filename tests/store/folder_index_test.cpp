// The look-ups by which the jobs match index lines and message files.
#include "folder_index.h"

#include "program_state.h"
#include "util.h"

#include <gtest/gtest.h>

namespace {

using testing_support::newList;

// Entries stay reachable until the process ends, as the program's own do
// (held by an object that is never destroyed).
auto* keptEntries = new std::vector<IndexEntry>;

LL* listOf(const std::vector<const char*>& names) {
    LL* list = newList();
    for (const char* n : names) {
        IndexEntry e{};
        e.fileName = keepString(n);
        AppendLL(list, sizeof e, &e);
    }
    return list;
}

TEST(FolderIndex, PathsAndNames) {
    EXPECT_EQ(joinStorePath("./", "a.act/"), "./a.act/");
    EXPECT_EQ(joinStorePath("./a.act", "in.fld/"), "./a.act/in.fld/");
    EXPECT_EQ(joinStorePath("./a.act\\", "in.fld/"), "./a.act\\in.fld/");
    EXPECT_EQ(fileNamePart("./a.act/in.fld/123.msg"), "123.msg");
    EXPECT_EQ(fileNamePart("./a.act\\1.msg"), "1.msg");
    EXPECT_EQ(baseName("./a.act/in.fld/123.msg"), "123");
    EXPECT_EQ(baseName("123.msg"), "123");
    EXPECT_EQ(baseName("a.b.msg"), "a.b");
    EXPECT_EQ(baseName("noext"), "noext");
    EXPECT_EQ(baseName("in.fld/"), "");
    EXPECT_TRUE(insideFolder("./A.ACT/In.FLD/folder.bag"));
    EXPECT_FALSE(insideFolder("./a.act/folder.bag"));
}

TEST(FolderIndex, LookupFindsTheFirstRemainingEntryInListOrder) {
    LL* list = listOf({"1.msg", "2.msg", "1.txt", "1.MSG"});
    auto* first = static_cast<IndexEntry*>(FirstLL(list));
    auto* second = static_cast<IndexEntry*>(NextLL(first));
    auto* third = static_cast<IndexEntry*>(NextLL(second));
    auto* fourth = static_cast<IndexEntry*>(NextLL(third));

    BaseNameLookup blind(list, true);
    EXPECT_EQ(blind.first("./x.act/in.fld/1.msg"), first);
    EXPECT_EQ(blind.takeFirst("1.eml"), first);
    EXPECT_EQ(blind.takeFirst("1"), third);
    EXPECT_EQ(blind.first("1"), fourth);
    EXPECT_EQ(blind.takeFirst("1"), fourth);
    EXPECT_EQ(blind.takeFirst("1"), nullptr);
    EXPECT_EQ(blind.first("2.MSG"), second);

    BaseNameLookup exact(list, false);
    EXPECT_EQ(exact.first("2.MSG"), second);  // the extension plays no part
    EXPECT_EQ(exact.first("./a/1.msg"), first);
    keptEntries->push_back(IndexEntry{});
    IndexEntry& upper = keptEntries->back();
    upper.fileName = keepString("./a/N.msg");
    EXPECT_EQ(exact.first(upper.fileName), nullptr);
    exact.add(&upper);
    EXPECT_EQ(exact.first("N.txt"), &upper);
    EXPECT_EQ(exact.first("n.txt"), nullptr);
}

TEST(FolderIndex, LookupOfManyEntriesFindsEachOnce) {
    // A folder of tens of thousands of messages, taken out from the end.
    std::vector<std::string> names;
    for (int i = 0; i < 60000; ++i) names.push_back(std::to_string(i) + ".msg");
    LL* list = newList();
    for (const auto& n : names) {
        IndexEntry e{};
        e.fileName = keepString(n);
        AppendLL(list, sizeof e, &e);
    }
    BaseNameLookup lookup(list, true);
    int found = 0;
    for (int i = 59999; i >= 0; --i) {
        IndexEntry* e = lookup.takeFirst("./a.act/in.fld/" + std::to_string(i) + ".msg");
        if (e && e->fileName == std::to_string(i) + ".msg") ++found;
    }
    EXPECT_EQ(found, 60000);
}

}  // namespace
