// One directory listed once and looked up by name: the exact spelling
// first, else one that differs only in letter case, as the file system's
// own look-up finds it.
#include "directory_listing.h"
#include "folder_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_support;

TEST(DirectoryListingTest, EntriesInNameOrderFoundByNameIgnoringCase) {
    TempDir t;
    writeFile(t / "Inbox.fld/2.MSG", "12");
    writeFile(t / "Inbox.fld/1.msg", "1");
    writeFile(t / "Inbox.fld/folder.bag", "");
    makeDirectories(t / "Inbox.fld/Sub.fld");
    const DirectoryListing listing(t / "Inbox.fld/");
    EXPECT_EQ(namesOf(listing.entries()), (std::vector<std::string>{".", "..", "1.msg", "2.MSG", "folder.bag", "Sub.fld"}));

    const platform::DirEntry* exact = listing.find("2.MSG");
    ASSERT_NE(exact, nullptr);
    EXPECT_EQ(exact->name, "2.MSG");
    EXPECT_EQ(exact->size, 2);
    const platform::DirEntry* folded = listing.find("2.msg");
    ASSERT_NE(folded, nullptr);
    EXPECT_EQ(folded->name, "2.MSG");
    const platform::DirEntry* sub = listing.find("sub.FLD");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->attributes & platform::attributeDirectory, platform::attributeDirectory);
    EXPECT_EQ(listing.find("3.msg"), nullptr);
    EXPECT_EQ(listing.find("1.ms"), nullptr);
}

TEST(DirectoryListingTest, AMissingDirectoryListsNothing) {
    TempDir t;
    const DirectoryListing listing(t / "gone.fld/");
    EXPECT_TRUE(listing.entries().empty());
    EXPECT_EQ(listing.find("folder.bag"), nullptr);
}

// What another thread listed ahead is the same listing.
TEST(DirectoryListingTest, AListingTakenFromAheadIsTheSame) {
    TempDir t;
    writeFile(t / "a.fld/1.msg", "1");
    writeFile(t / "a.fld/Folder.BAG", "");
    writeFile(t / "b.fld/9.msg", "9");
    ListingsAhead ahead({t / "a.fld/*.*", t / "b.fld/*.*"});
    const DirectoryListing a(t / "a.fld/", &ahead);
    const DirectoryListing b(t / "b.fld/", &ahead);
    EXPECT_EQ(namesOf(a.entries()), (std::vector<std::string>{".", "..", "1.msg", "Folder.BAG"}));
    EXPECT_EQ(namesOf(b.entries()), (std::vector<std::string>{".", "..", "9.msg"}));
    ASSERT_NE(a.find("folder.bag"), nullptr);
    EXPECT_EQ(a.find("folder.bag")->name, "Folder.BAG");
}

#ifndef _WIN32
// Names that differ only in case can stand side by side on POSIX: the
// exact spelling is found as it is, another spelling finds the first of
// them in name order, whichever order the system listed them in.
TEST(DirectoryListingTest, OfNamesThatDifferOnlyInCaseTheFirstInNameOrderWins) {
    TempDir t;
    writeFile(t / "d/inbox.fld", "c");
    writeFile(t / "d/Inbox.fld", "b");
    writeFile(t / "d/INBOX.fld", "a");
    const DirectoryListing listing(t / "d/");
    EXPECT_EQ(namesOf(listing.entries()), (std::vector<std::string>{".", "..", "INBOX.fld", "Inbox.fld", "inbox.fld"}));
    ASSERT_NE(listing.find("Inbox.fld"), nullptr);
    EXPECT_EQ(listing.find("Inbox.fld")->name, "Inbox.fld");
    ASSERT_NE(listing.find("inBox.fld"), nullptr);
    EXPECT_EQ(listing.find("inBox.fld")->name, "INBOX.fld");
}
#endif
