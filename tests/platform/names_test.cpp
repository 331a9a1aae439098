// Names as the store's file system compares them: letter case ignored,
// DOS wildcards.
#include "platform.h"

#include <gtest/gtest.h>

TEST(PlatformSearch, WildcardsFollowDosRules) {
    EXPECT_TRUE(platform::wildcardMatch("*.*", "README"));
    EXPECT_TRUE(platform::wildcardMatch("*.*", "a.b.c"));
    EXPECT_TRUE(platform::wildcardMatch("*.act", "X.ACT"));
    EXPECT_FALSE(platform::wildcardMatch("*.act", "x.actx"));
    EXPECT_TRUE(platform::wildcardMatch("ARCHIV??.zip", "archiv07.ZIP"));
    EXPECT_FALSE(platform::wildcardMatch("ARCHIV??.zip", "archiv7.zip"));
    EXPECT_TRUE(platform::wildcardMatch("a*", "a"));
    EXPECT_FALSE(platform::wildcardMatch("a?", "a"));
}

// The order of listings: letter case ignored, and where only the case
// differs the bytes decide, so that a folder lists the same way every time.
TEST(PlatformNames, NameOrderIgnoresCaseThenTakesTheBytes) {
    EXPECT_TRUE(platform::lessIgnoringCase("a.msg", "B.msg"));
    EXPECT_FALSE(platform::lessIgnoringCase("B.msg", "a.msg"));
    EXPECT_TRUE(platform::lessIgnoringCase("INBOX.fld", "inbox.fld"));
    EXPECT_FALSE(platform::lessIgnoringCase("inbox.fld", "INBOX.fld"));
    EXPECT_FALSE(platform::lessIgnoringCase("x.msg", "x.msg"));
    EXPECT_TRUE(platform::lessIgnoringCase("a", "a.msg"));
    EXPECT_TRUE(platform::equalIgnoringCase("Work.ACT", "work.act"));
    EXPECT_FALSE(platform::equalIgnoringCase("work.act", "work.ac"));
}
