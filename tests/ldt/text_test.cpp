// The text utilities, on buffers sized so that the sanitizer sees any
// access outside them.
#include "ldt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(LdtCompare, Modes) {
    EXPECT_EQ(ldtCompare(1, "abc", "abc"), 0);
    EXPECT_EQ(ldtCompare(1, "abc", "abd"), 'd' - 'c');
    EXPECT_EQ(ldtCompare(1, "abc", "ab"), -'c');
    EXPECT_EQ(ldtCompare(1, "ab", "abc"), 'c');
    EXPECT_NE(ldtCompare(1, "ABC", "abc"), 0);
    EXPECT_EQ(ldtCompare(2, "ABC", "abc"), 0);
    EXPECT_NE(ldtCompare(2, "ABCD", "abc"), 0);
    EXPECT_EQ(ldtCompare(3, "abcdef", "abc"), 0);
    EXPECT_EQ(ldtCompare(3, "ABCdef", "abc"), 'a' - 'A');
    EXPECT_EQ(ldtCompare(3, "ab", "abc"), 'c');
    EXPECT_EQ(ldtCompare(4, "ABCdef", "abc"), 0);
    // Unknown modes are mode 1.
    EXPECT_NE(ldtCompare(0, "abcd", "abc"), 0);
    EXPECT_NE(ldtCompare(9, "ABC", "abc"), 0);
    EXPECT_EQ(ldtCompare(9, "abc", "abc"), 0);
}

TEST(LdtCompare, WeekdayPrefixes) {
    EXPECT_EQ(ldtCompare(4, "tuesday,", "TUE"), 0);
    EXPECT_EQ(ldtCompare(4, "tuesday,", "Tuesday"), 0);
    EXPECT_NE(ldtCompare(4, "Tu", "TUE"), 0);
}

TEST(LdtInsertChar, PositionsAndCapacity) {
    char text[8] = "abc";
    EXPECT_EQ(ldtInsertChar(text, sizeof text, 'X', 1), 0);
    EXPECT_STREQ(text, "Xabc");
    EXPECT_EQ(ldtInsertChar(text, sizeof text, 'Y', 5), 0);  // length + 1
    EXPECT_STREQ(text, "XabcY");
    EXPECT_EQ(ldtInsertChar(text, sizeof text, 'Z', 0), 0);  // append
    EXPECT_STREQ(text, "XabcYZ");
    EXPECT_EQ(ldtInsertChar(text, sizeof text, '-', 3), 0);
    EXPECT_STREQ(text, "Xa-bcYZ");
    // Full: 7 characters and the terminator fill the 8 bytes.
    EXPECT_EQ(ldtInsertChar(text, sizeof text, 'Q', 1), 1007);
    EXPECT_STREQ(text, "Xa-bcYZ");

    char small[5] = "ab";
    EXPECT_EQ(ldtInsertChar(small, sizeof small, 'x', 4), 1007);
    EXPECT_EQ(ldtInsertChar(small, sizeof small, 'x', -1), 1007);
    EXPECT_STREQ(small, "ab");
    EXPECT_EQ(ldtInsertChar(nullptr, 10, 'x', 0), 1007);
}

TEST(LdtInsertChar, UnterminatedBufferIsRefused) {
    std::vector<char> raw = {'a', 'b', 'c'};
    EXPECT_EQ(ldtInsertChar(raw.data(), raw.size(), 'x', 1), 1007);
    EXPECT_EQ(std::string(raw.begin(), raw.end()), "abc");
    EXPECT_EQ(ldtInsertChar(raw.data(), 0, 'x', 1), 1007);
}

TEST(LdtDeleteChar, Positions) {
    char text[] = "abcd";
    EXPECT_EQ(ldtDeleteChar(text, 2), 0);
    EXPECT_STREQ(text, "acd");
    EXPECT_EQ(ldtDeleteChar(text, 0), 0);  // the last one
    EXPECT_STREQ(text, "ac");
    EXPECT_EQ(ldtDeleteChar(text, 3), 1007);
    EXPECT_EQ(ldtDeleteChar(text, -1), 1007);
    EXPECT_STREQ(text, "ac");
    EXPECT_EQ(ldtDeleteChar(text, 1), 0);
    EXPECT_EQ(ldtDeleteChar(text, 1), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(ldtDeleteChar(text, 0), 1007);
    EXPECT_EQ(ldtDeleteChar(nullptr, 1), 1007);
}

TEST(LdtFindChar, FirstAndLast) {
    EXPECT_EQ(ldtFindChar("a-b-c", '-', 0), 2);
    EXPECT_EQ(ldtFindChar("a-b-c", '-', 1), 4);
    EXPECT_EQ(ldtFindChar("a-b-c", '-', 7), 2);  // unknown flag: first
    EXPECT_EQ(ldtFindChar("a-b-c", 'a', 1), 1);
    EXPECT_EQ(ldtFindChar("a-b-c", '/', 0), 0);
    EXPECT_EQ(ldtFindChar("", '-', 0), 0);
    EXPECT_EQ(ldtFindChar("abc", '\0', 0), 0);
    EXPECT_EQ(ldtFindChar(nullptr, 'a', 0), 0);
}

TEST(LdtTrim, Modes) {
    auto trim = [](int mode, std::string text, char c) {
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
        ldtTrim(mode, buffer.data(), c);
        return std::string(buffer.data());
    };
    EXPECT_EQ(trim(1, "xxabxx", 'x'), "abxx");
    EXPECT_EQ(trim(2, "xxabxx", 'x'), "xxab");
    EXPECT_EQ(trim(3, "xxabxx", 'x'), "ab");
    EXPECT_EQ(trim(3, "xaxbx", 'x'), "axb");
    EXPECT_EQ(trim(0, "xxabxx", 'x'), "xxabxx");
    EXPECT_EQ(trim(4, "xxabxx", 'x'), "xxabxx");
    EXPECT_EQ(trim(3, "xxxx", 'x'), "");
    EXPECT_EQ(trim(1, "xxxx", 'x'), "");
    EXPECT_EQ(trim(3, "", ' '), "");
    EXPECT_EQ(trim(3, "  a b  ", ' '), "a b");
}

TEST(LdtPad, Modes) {
    char buffer[8];
    std::memset(buffer, 'Q', sizeof buffer);
    EXPECT_EQ(ldtPad(1, buffer, 6), 0);
    EXPECT_EQ(std::string(buffer, 8), std::string("     \0QQ", 8));
    EXPECT_EQ(ldtPad(1, buffer, 1), 0);
    EXPECT_STREQ(buffer, "");

    std::memset(buffer, 'Q', sizeof buffer);
    std::strcpy(buffer, "ab");
    EXPECT_EQ(ldtPad(3, buffer, 6), 0);
    EXPECT_EQ(std::string(buffer, 8), std::string("ab   \0QQ", 8));
    EXPECT_EQ(ldtPad(3, buffer, 4), 0);  // already long enough
    EXPECT_STREQ(buffer, "ab   ");

    // Mode 2 keeps the text and blanks what lies behind its terminator.
    std::memset(buffer, 'Q', sizeof buffer);
    std::strcpy(buffer, "ab");
    EXPECT_EQ(ldtPad(2, buffer, 7), 0);
    EXPECT_EQ(std::string(buffer, 8), std::string("ab\0   QQ", 8));

    EXPECT_EQ(ldtPad(0, buffer, 4), 1017);
    EXPECT_EQ(ldtPad(4, buffer, 4), 1017);
    EXPECT_EQ(ldtPad(1, buffer, 0), 1017);
    EXPECT_EQ(ldtPad(1, nullptr, 4), 1017);
}

TEST(LdtPad, UnterminatedTextIsNotReadPastSize) {
    std::vector<char> raw = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(ldtPad(3, raw.data(), 4), 0);
    EXPECT_EQ(ldtPad(2, raw.data(), 4), 0);
    EXPECT_EQ(std::string(raw.begin(), raw.end()), "abcd");
}

TEST(LdtJustify, Modes) {
    auto justify = [](int mode, std::string text) {
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
        ldtJustify(mode, buffer.data());
        return std::string(buffer.data());
    };
    EXPECT_EQ(justify(2, "ab     "), "  ab   ");
    EXPECT_EQ(justify(2, "ab      "), "   ab   ");
    EXPECT_EQ(justify(2, "  ab"), " ab ");
    EXPECT_EQ(justify(2, "ab "), "ab ");
    EXPECT_EQ(justify(1, "  ab "), "ab   ");
    EXPECT_EQ(justify(3, "ab  "), "  ab");
    EXPECT_EQ(justify(3, " a b  "), "   a b");
    EXPECT_EQ(justify(1, "a b"), "a b");
    EXPECT_EQ(justify(0, "  ab "), "  ab ");
    EXPECT_EQ(justify(5, "  ab "), "  ab ");
    EXPECT_EQ(justify(2, "    "), "    ");
    EXPECT_EQ(justify(3, ""), "");
}

}  // namespace
