#include "util.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testing_support;

TEST(DirWalk, JoinsDirectoryAndPatternAndMarksDirectories) {
    TempDir t;
    writeFile(t / "1.msg", "abc");
    writeFile(t / "Inbox.fld/x", "");
    DirHandle h = 0;
    std::string dir = t.path() + "/";
    std::vector<std::string> names;
    std::vector<int> sizes;
    for (auto n = dirFirst(dir.c_str(), "*.*", &h); n; n = dirNext(&h)) {
        names.push_back(*n);
        sizes.push_back(dirEntrySize());
    }
    EXPECT_EQ(dirClose(&h), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"./", "../", "1.msg", "Inbox.fld/"}));
    EXPECT_EQ(sizes[2], 3);

    // no second separator after a backslash, and none for an empty dir
    std::string back = t.path() + "\\";
    EXPECT_EQ(dirFirst(back.c_str(), "1.MSG", &h).value_or(""), "1.msg");
    dirClose(&h);
    EXPECT_FALSE(dirFirst(t.path().c_str(), "none.*", &h));
    EXPECT_EQ(h, -1);
    std::string pattern = t / "*.msg";
    EXPECT_EQ(dirFirst(nullptr, pattern.c_str(), &h).value_or(""), "1.msg");
    dirClose(&h);
    EXPECT_EQ(dirFirst("", pattern.c_str(), &h).value_or(""), "1.msg");
    dirClose(&h);
}

TEST(DirWalk, NestedSearchesShareTheCurrentEntry) {
    TempDir t;
    writeFile(t / "a.fld/inner.msg", "1234567");
    writeFile(t / "b.msg", "12");
    DirHandle outer = 0, inner = 0;
    auto first = dirFirst(t.path().c_str(), "*.fld", &outer);
    ASSERT_TRUE(first);
    std::string sub = t / "a.fld";
    auto innerName = dirFirst(sub.c_str(), "*.msg", &inner);
    EXPECT_EQ(innerName.value_or(""), "inner.msg");
    EXPECT_EQ(dirEntrySize(), 7);  // the state now belongs to the inner search
    dirClose(&inner);
    EXPECT_FALSE(dirNext(&outer));
    dirClose(&outer);
}

TEST(Text, TrimmingUsesExactlyTheFourSpaceCharacters) {
    char a[] = " \t abc \r\n";
    trimBoth(a);
    EXPECT_STREQ(a, "abc");
    char b[] = "   ";
    trimBoth(b);
    EXPECT_STREQ(b, "");
    char c[] = "";
    trimBoth(c);
    EXPECT_STREQ(c, "");
    char d[] = "a b ";
    trimTrailing(d);
    EXPECT_STREQ(d, "a b");
    char e[] = "\v x\f";  // vertical tab and form feed are not in the set
    trimBoth(e);
    EXPECT_STREQ(e, "\v x\f");
    std::string s = "\t x y \n";
    EXPECT_EQ(trimBoth(s), "x y");
}

TEST(Text, CaseDigitsAndComparisons) {
    char name[] = "INBOX.FLD";
    EXPECT_EQ(lowerCase(name), name);
    EXPECT_STREQ(name, "inbox.fld");
    EXPECT_EQ(lowerCase(static_cast<char*>(nullptr)), nullptr);
    char high[] = "\xC9T\xDE";  // only A to Z change
    lowerCase(high);
    EXPECT_STREQ(high, "\xC9t\xDE");
    EXPECT_EQ(allDigits(""), 1);
    EXPECT_EQ(allDigits("12"), 1);
    EXPECT_EQ(allDigits("1a"), 0);
    EXPECT_EQ(allDigits("-1"), 0);
    EXPECT_TRUE(prefixNoCase("Re: Meeting", "RE:"));
    EXPECT_FALSE(prefixNoCase("Re", "Re:"));
    EXPECT_EQ(findNoCase("an INVOICE due", "invoice"), 3u);
    EXPECT_EQ(findNoCase("ab", "abc"), std::string_view::npos);
}

TEST(Text, SplitArgsSplitsAtEverySpace) {
    EXPECT_EQ(splitArgs("-q -o -C a.zip  b.msg"), (std::vector<std::string>{"-q", "-o", "-C", "a.zip", "", "b.msg"}));
    const std::vector<std::string> trailing = splitArgs("a ");
    ASSERT_EQ(trailing.size(), 2u);
    EXPECT_EQ(trailing[1], "");
    // more than 19 elements: the rest stays in the last one
    std::string many;
    for (int i = 0; i < 25; ++i) many += "w ";
    const std::vector<std::string> args = splitArgs(many);
    EXPECT_EQ(args.size(), 19u);
    EXPECT_EQ(args[18].compare(0, 3, "w w"), 0);
}

TEST(Text, KeptStringsAreIndependentCopies) {
    std::string source = "abc";
    char* kept = keepString(source);
    source[0] = 'x';
    EXPECT_STREQ(kept, "abc");
    EXPECT_STREQ(keepString(""), "");
}
