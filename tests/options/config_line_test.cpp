#include "config_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Words = std::vector<std::string>;

TEST(ConfigLine, BlanksTabsAndLineEndsSeparate) {
    EXPECT_EQ(splitConfigLine("ACCOUNTDIR  a.act\tb.act\r\n"), (Words{"ACCOUNTDIR", "a.act", "b.act"}));
    EXPECT_EQ(splitConfigLine(""), Words{});
    EXPECT_EQ(splitConfigLine(" \t "), Words{});
}

TEST(ConfigLine, EitherQuoteHoldsBlanks) {
    EXPECT_EQ(splitConfigLine("accountName \"My Account\""), (Words{"accountName", "My Account"}));
    EXPECT_EQ(splitConfigLine("accountName 'My \"Account\"' x"), (Words{"accountName", "My \"Account\"", "x"}));
}

TEST(ConfigLine, QuoteRightAfterAWordBeginsANewWord) {
    EXPECT_EQ(splitConfigLine("abc\"def ghi\"jkl"), (Words{"abc", "def ghi", "jkl"}));
}

TEST(ConfigLine, EmptyQuotesAreAWord) {
    EXPECT_EQ(splitConfigLine("sort ''"), (Words{"sort", ""}));
    EXPECT_EQ(splitConfigLine("\"\"\"\""), (Words{"", ""}));
}

TEST(ConfigLine, UnbalancedQuoteRunsToTheEnd) {
    EXPECT_EQ(splitConfigLine("beginSubject \"abc def"), (Words{"beginSubject", "abc def"}));
    EXPECT_EQ(splitConfigLine("x '"), (Words{"x", ""}));
}

TEST(ConfigLine, HashAfterAKeywordIsAWord) {
    EXPECT_EQ(splitConfigLine("accountDir x # note"), (Words{"accountDir", "x", "#", "note"}));
}

TEST(ConfigLine, BinaryBytesStayInTheirWords) {
    const std::string line = std::string("beginSubject \xDE\x01\xff") + "x \x80";
    EXPECT_EQ(splitConfigLine(line), (Words{"beginSubject", "\xDE\x01\xffx", "\x80"}));
}

TEST(ConfigLine, ManyWords) {
    std::string line = "beginSubject";
    for (int i = 0; i < 150; ++i) line += " w" + std::to_string(i);
    Words words = splitConfigLine(line);
    ASSERT_EQ(words.size(), 151u);
    EXPECT_EQ(words[150], "w149");
}

}  // namespace
