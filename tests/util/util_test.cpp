#include "util.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string_view>
#include <vector>

using namespace testing_support;

TEST(Paths, NormalizeSeparatorsTurnsSlashesAndCollapsesRuns) {
    char path[] = "./a.act//x.fld/";
    normalizeSeparators(path);
    EXPECT_STREQ(path, ".\\a.act\\x.fld\\");
    char many[] = "a\\\\\\/b";
    normalizeSeparators(many);
    EXPECT_STREQ(many, "a\\b");
    normalizeSeparators(nullptr);  // no effect, no crash
}

TEST(Paths, ComponentsIgnoreDotsEmptyPartsAndTheKindOfSeparator) {
    using Parts = std::vector<std::string_view>;
    EXPECT_EQ(pathComponents(".\\work.act\\inbox.fld\\"), (Parts{"work.act", "inbox.fld"}));
    EXPECT_EQ(pathComponents("work.act//./inbox.fld"), (Parts{"work.act", "inbox.fld"}));
    // ".." is a part like any other: whoever must refuse it looks for it.
    EXPECT_EQ(pathComponents("a/../b.msg"), (Parts{"a", "..", "b.msg"}));
    EXPECT_TRUE(pathComponents("").empty());
    EXPECT_TRUE(pathComponents("./\\.").empty());
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
