// The line rewrite on its own: the corners that are awkward to reach
// through whole message files.
#include "attfix_rewrite.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string fixed(std::string line) {
    attfix::fixAttachmentLine(line);
    return line;
}

TEST(AttfixRewrite, FindIgnoresCaseAndRefusesShortLines) {
    EXPECT_EQ(attfix::findNoCase("xxAttachMENT;yy", "attachment;"), 2u);
    EXPECT_EQ(attfix::findNoCase("attachment", "attachment;"), std::string::npos);
    EXPECT_EQ(attfix::findNoCase("", "a"), std::string::npos);
    EXPECT_EQ(attfix::findNoCase("abcabc", "ABC", 1), 3u);
    EXPECT_EQ(attfix::findNoCase("abc", "c", 5), std::string::npos);
}

TEST(AttfixRewrite, PrefixMustStartTheLine) {
    EXPECT_EQ(fixed("Content-Disposition"), "Content-Disposition");
    EXPECT_EQ(fixed(" Content-Disposition: attachment; filename=\"D:\\A\\X\""),
              " Content-Disposition: attachment; filename=\"D:\\A\\X\"");
    EXPECT_EQ(fixed("sectio"), "sectio");
}

TEST(AttfixRewrite, MarkerMayStandAnywhereInTheLine) {
    EXPECT_EQ(fixed("Content-Disposition: filename=\"D:\\A\\X.TXT\"; attachment;"),
              "Content-Disposition: filename=\"X.TXT\"; attachment;");
}

TEST(AttfixRewrite, OnlyTheFirstColonAfterTheKeywordCounts) {
    // The first colon after the keyword is taken as the drive; everything
    // up to the last separator goes, even across later text.
    EXPECT_EQ(fixed("section 2 file C:\\x.dat other D:\\y\\z.dat"), "section 2 file z.dat");
    // A colon whose rest holds no separator leaves the line alone.
    EXPECT_EQ(fixed("section 2 file C:x.dat"), "section 2 file C:x.dat");
}

TEST(AttfixRewrite, SlashAndBackslashBothSeparate) {
    EXPECT_EQ(fixed("Content-Type: application/octet-stream; name=D:/TMP\\SUB/Y.ZIP\r\n"),
              "Content-Type: application/octet-stream; name=Y.ZIP\r\n");
}

TEST(AttfixRewrite, TemporaryPathSitsBesideTheInput) {
    std::string path;
    ASSERT_TRUE(attfix::temporaryPathFor("D:\\MAIL\\A.ACT\\1.msg", path));
    EXPECT_EQ(path, "D:\\MAIL\\A.ACT\\msg.$$$");
    ASSERT_TRUE(attfix::temporaryPathFor("/store/a.act\\in.fld/7.msg", path));
    EXPECT_EQ(path, "/store/a.act\\in.fld/msg.$$$");
    ASSERT_TRUE(attfix::temporaryPathFor("/x.msg", path));
    EXPECT_EQ(path, "/msg.$$$");
    path = "untouched";
    EXPECT_FALSE(attfix::temporaryPathFor("D:x.msg", path));
    EXPECT_EQ(path, "untouched");
}

}  // namespace
