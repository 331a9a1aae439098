// The address book sort, called directly on a book in a temporary tree
// (<tmp>/velmor/ is the main directory, the book lives in <tmp>/tools/).
#include "jobs.h"
#include "settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace ts = testing_support;

namespace {

using ts::addressRecord;

class AddressBookSort : public ::testing::Test {
protected:
    void SetUp() override {
        settings.verbose = 0;
        ts::makeDirectories(tmp / "velmor");
        ts::makeDirectories(tmp / "tools");
    }
    std::string mainDir() const { return tmp / "velmor/"; }
    std::string book() const { return tmp / "tools/addr.db"; }
    std::string backup() const { return tmp / "tools/addr-bak.db"; }

    ts::TempDir tmp;
};

TEST_F(AddressBookSort, SortsOnEachNamedColumnIgnoringTheCaseOfTheFieldName) {
    // Column 0 e-mail, 1 alias, 2 name, 3 company; each column orders the
    // three records differently.
    const std::string a = addressRecord({"c@x", "b-alias", "Aname", "Bco"});
    const std::string b = addressRecord({"a@x", "c-alias", "Bname", "Cco"});
    const std::string c = addressRecord({"b@x", "a-alias", "Cname", "Aco"});
    struct Case {
        const char* field;
        std::string expected;
    };
    const Case cases[] = {
        {"name", a + b + c},  {"NAME", a + b + c},    {"alias", c + a + b},  {"Alias", c + a + b},
        {"email", b + c + a}, {"EMAIL", b + c + a},   {"Email", b + c + a},  {"company", c + a + b},
        {"CoMpAnY", c + a + b},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.field);
        ts::writeFile(book(), b + a + c);
        sortAddressBook(mainDir().c_str(), k.field);
        EXPECT_EQ(ts::readFile(book()), k.expected);
        EXPECT_EQ(ts::readFile(backup()), b + a + c);
    }
}

// The sort column is process-wide, so the default shows only in a fresh
// process: the child re-runs this test from the start and checks the
// result itself. The tree sits at a fixed place that both processes see.
TEST(AddressBookSortDefault, WithoutAFieldNameSortsOnTheAliasColumn) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string root = std::string(TEST_BINARY_DIR) + "/addressbook-default";
    const std::string book = root + "/tools/addr.db";
    const std::string a = addressRecord({"3", "alias-a", "3"});
    const std::string b = addressRecord({"1", "alias-b", "1"});
    const std::string c = addressRecord({"2", "alias-c", "2"});
    std::filesystem::remove_all(root);
    ts::makeDirectories(root + "/velmor");
    ts::writeFile(book, c + a + b);
    EXPECT_EXIT(
        {
            sortAddressBook((root + "/velmor/").c_str(), "");
            std::exit(ts::readFile(book) == a + b + c ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
    std::filesystem::remove_all(root);
}

TEST_F(AddressBookSort, KeysCompareBytewiseUpperCaseFirst) {
    const std::string bob = addressRecord({"e1", "x", "bob"});
    const std::string Alice = addressRecord({"e2", "x", "Alice"});
    const std::string alice = addressRecord({"e3", "x", "alice"});
    const std::string zed = addressRecord({"e4", "x", "Zed"});
    ts::writeFile(book(), bob + alice + zed + Alice);
    sortAddressBook(mainDir().c_str(), "name");
    EXPECT_EQ(ts::readFile(book()), Alice + zed + alice + bob);
}

TEST_F(AddressBookSort, BackupHoldsThePreviousFileExactlyAndReplacesAnOldBackup) {
    // Carriage returns are line ends to the reader; the backup keeps them.
    const std::string before = "b\xDE" "1\xDE\r\na\xDE" "2\xDE\r\n";
    ts::writeFile(book(), before);
    ts::writeFile(backup(), "an older backup\n");
    sortAddressBook(mainDir().c_str(), "email");
    EXPECT_EQ(ts::readFile(backup()), before);
    EXPECT_EQ(ts::readFile(book()), "a\xDE" "2\xDE\nb\xDE" "1\xDE\n");
    // Nothing but the two files is left in the directory.
    EXPECT_EQ(ts::listDirectory(tmp / "tools"), (std::vector<std::string>{"addr-bak.db", "addr.db"}));
}

TEST_F(AddressBookSort, IrregularLinesAreWrittenBackWhole) {
    const std::string longField(3000, 'L');
    const std::string lines[] = {
        "m@x\xDE" "alias\xDE\xDE\xDE" "after-empty\xDE\n",     // empty fields in the middle
        "c@x\xDE" "short\xDE\n",                               // fewer than 26 fields
        addressRecord({"k@x", longField}),                     // a field far beyond 254 bytes
        addressRecord({"z@x", "1"}).substr(0, 10) + std::string(2000, 'q') +
            addressRecord({"z2", "2"}),                        // a 2000+ byte line
        std::string("\n"),                                     // an empty line
    };
    const std::string last = "a@x\xDE" "no-line-end\xDE";  // last line without its line end
    std::string before;
    for (const auto& l : lines) before += l;
    before += last;
    ts::writeFile(book(), before);

    sortAddressBook(mainDir().c_str(), "email");

    EXPECT_EQ(ts::readFile(book()), lines[4] + last + "\n" + lines[1] + lines[2] + lines[0] + lines[3]);
    EXPECT_EQ(ts::readFile(backup()), before);
}

TEST_F(AddressBookSort, AnEmptyBookGivesEmptyFiles) {
    ts::writeFile(book(), "");
    sortAddressBook(mainDir().c_str(), "alias");
    EXPECT_TRUE(ts::exists(book()));
    EXPECT_EQ(ts::readFile(book()), "");
    EXPECT_TRUE(ts::exists(backup()));
    EXPECT_EQ(ts::readFile(backup()), "");
}

TEST_F(AddressBookSort, FindsTheBookWhateverTheCaseOfItsNames) {
    ts::TempDir other;
    ts::makeDirectories(other / "velmor");
    const std::string b = addressRecord({"b@x"});
    const std::string a = addressRecord({"a@x"});
    ts::writeFile(other / "Tools/Addr.DB", b + a);
    sortAddressBook((other / "velmor/").c_str(), "email");
    EXPECT_EQ(ts::readFile(other / "Tools/Addr.DB"), a + b);
    EXPECT_EQ(ts::readFile(other / "Tools/addr-bak.db"), b + a);
}

TEST_F(AddressBookSort, UnknownFieldIsFatal5028AndTouchesNothing) {
    const std::string before = addressRecord({"b@x"}) + addressRecord({"a@x"});
    ts::writeFile(book(), before);
    EXPECT_EXIT(sortAddressBook(mainDir().c_str(), "phone"), ::testing::ExitedWithCode(1),
                "^\\[5028\\]: Invalid field for sorting!$");
    EXPECT_EQ(ts::readFile(book()), before);
    EXPECT_FALSE(ts::exists(backup()));
}

TEST_F(AddressBookSort, MissingBookIsFatal5043AndCreatesNothing) {
    EXPECT_EXIT(sortAddressBook(mainDir().c_str(), "name"), ::testing::ExitedWithCode(1),
                "^\\[5043\\]: Unable to open address book database file!$");
    EXPECT_TRUE(ts::listDirectory(tmp / "tools").empty());
}

TEST_F(AddressBookSort, BookThatCannotBeReadIsFatal5043) {
    ts::makeDirectories(book());  // a directory opens but cannot be read
    EXPECT_EXIT(sortAddressBook(mainDir().c_str(), "name"), ::testing::ExitedWithCode(1),
                "\\[5043\\]: Unable to open address book database file!");
    EXPECT_FALSE(ts::exists(backup()));
}

TEST_F(AddressBookSort, WhenTheBackupCannotBeWrittenTheBookStaysAsItWas) {
    // A non-empty directory in the backup's place cannot be replaced, even
    // by root.
    const std::string before = addressRecord({"b@x"}) + addressRecord({"a@x"});
    ts::writeFile(book(), before);
    ts::writeFile(backup() + "/keep", "x");
    EXPECT_EXIT(sortAddressBook(mainDir().c_str(), "email"), ::testing::ExitedWithCode(1), "^$");
    EXPECT_EQ(ts::readFile(book()), before);
    EXPECT_EQ(ts::listDirectory(tmp / "tools"), (std::vector<std::string>{"addr-bak.db", "addr.db"}));
}

TEST_F(AddressBookSort, VerboseModeNamesEachStep) {
    ts::writeFile(book(), addressRecord({"a@x"}));
    settings.verbose = 1;
    ::testing::internal::CaptureStdout();
    sortAddressBook(mainDir().c_str(), "email");
    std::string out = ::testing::internal::GetCapturedStdout();
    settings.verbose = 0;
    EXPECT_EQ(out,
              "Sorting addressbook\n"
              "Opening address book database file\n"
              "Reading address book file\n"
              "Renaming old address bokk file to addrbak.db\n"
              "Writing new address book file.\n");
}

}  // namespace

// The same through the built archiver, run in the main directory.
class AddressBookSortRun : public AddressBookSort {
protected:
    void SetUp() override {
        AddressBookSort::SetUp();
        ts::StoreBuilder store(tmp / "velmor");
    }
    ts::RunResult archiver(const std::vector<std::string>& args) { return ts::runArchiver(tmp / "velmor", args); }
};

TEST_F(AddressBookSortRun, SortsOnTheNamedFieldOrOnTheAliasColumn) {
    const std::string a = addressRecord({"b@x", "alias-c", "A name"});
    const std::string b = addressRecord({"a@x", "alias-a", "C name"});
    const std::string c = addressRecord({"c@x", "alias-b", "B name"});
    ts::writeFile(book(), a + b + c);

    auto r = archiver({"/i", "Email"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ts::readFile(book()), b + a + c);
    EXPECT_EQ(ts::readFile(backup()), a + b + c);

    r = archiver({"/i"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ts::readFile(book()), b + c + a);
    EXPECT_EQ(ts::readFile(backup()), b + a + c);
}

TEST_F(AddressBookSortRun, ErrorsEndTheRunWithStatusOne) {
    const std::string before = addressRecord({"b@x"}) + addressRecord({"a@x"});
    ts::writeFile(book(), before);
    auto r = archiver({"/i", "phone"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[5028]: Invalid field for sorting!");
    EXPECT_EQ(ts::readFile(book()), before);

    ASSERT_EQ(std::remove(book().c_str()), 0);
    r = archiver({"/i", "name"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[5043]: Unable to open address book database file!");
    EXPECT_TRUE(ts::listDirectory(tmp / "tools").empty());
}
