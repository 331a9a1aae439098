// The names under which zip on either system may have stored a member that
// the client named in code page 1252: the bytes, UTF-8, OEM 850 and 437.
#include "zip.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Forms = std::vector<std::string>;

TEST(MemberNames, PlainNamesHaveTheirOneForm) {
    EXPECT_EQ(memberNameForms("./a.act/f.fld/1.msg"), Forms{"./a.act/f.fld/1.msg"});
    EXPECT_EQ(memberNameForms(""), Forms{""});
}

TEST(MemberNames, ALetterBothOemPagesShareIsGivenOnce) {
    // é is 0x82 in 850 and in 437.
    EXPECT_EQ(memberNameForms("./a.act/caf\xE9 1.msg"),
              (Forms{"./a.act/caf\xE9 1.msg", "./a.act/caf\xC3\xA9 1.msg", "./a.act/caf\x82 1.msg"}));
    // The no-break space is the last byte of both.
    EXPECT_EQ(memberNameForms("\xA0"), (Forms{"\xA0", "\xC2\xA0", "\xFF"}));
}

TEST(MemberNames, TheOemPagesGiveTheirOwnBytes) {
    // The cent sign: 0xBD in 850, 0x9B in 437.
    EXPECT_EQ(memberNameForms("\xA2"), (Forms{"\xA2", "\xC2\xA2", "\xBD", "\x9B"}));
    // A letter only 850 has (where 437 has the cent sign), and the soft
    // hyphen, also only in 850.
    EXPECT_EQ(memberNameForms("\xF8"), (Forms{"\xF8", "\xC3\xB8", "\x9B"}));
    EXPECT_EQ(memberNameForms("\xAD"), (Forms{"\xAD", "\xC2\xAD", "\xF0"}));
}

TEST(MemberNames, TheCharactersOf1252BeyondLatin1) {
    // The euro sign takes three bytes in UTF-8 and has no OEM byte; the
    // florin sign is 0x9F in both OEM pages.
    EXPECT_EQ(memberNameForms("\x80"), (Forms{"\x80", "\xE2\x82\xAC"}));
    EXPECT_EQ(memberNameForms("\x83"), (Forms{"\x83", "\xC6\x92", "\x9F"}));
    // ž (0x9E) and Ÿ (0x9F) close the range that differs from Latin-1.
    EXPECT_EQ(memberNameForms("\x9E\x9F"), (Forms{"\x9E\x9F", "\xC5\xBE\xC5\xB8"}));
}

TEST(MemberNames, ByteWithoutACharacterKeepsOnlyTheBytes) {
    // 0x81 is no character of 1252, so no other form can be made.
    EXPECT_EQ(memberNameForms("\x81\xE9"), Forms{"\x81\xE9"});
    EXPECT_EQ(memberNameForms("x\x9D"), Forms{"x\x9D"});
}

}  // namespace
