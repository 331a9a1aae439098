// ldtFormatDate, ldtFormatTime and ldtCheckOutputFormat.
#include "ldt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace {

// A buffer pre-filled with 'Q', so that "untouched" and "emptied" differ.
struct Output {
    char text[32];
    Output() { std::memset(text, 'Q', sizeof text); }
    bool untouched() const { return text[0] == 'Q' && text[31] == 'Q'; }
};

std::pair<int, std::string> date(LdtDate value, int format, int width, int justify = 0) {
    Output out;
    const int code = ldtFormatDate(out.text, sizeof out.text, width, value, 4, format, justify);
    return {code, out.untouched() ? std::string("<untouched>") : std::string(out.text)};
}

std::pair<int, std::string> time(LdtTime value, int style, int width, int justify = 0) {
    Output out;
    const int code = ldtFormatTime(out.text, sizeof out.text, width, value, 2, style, justify);
    return {code, out.untouched() ? std::string("<untouched>") : std::string(out.text)};
}

std::pair<int, std::string> ok(const std::string& text) { return {0, text}; }

TEST(LdtFormatDate, NormalFormAndJustification) {
    EXPECT_EQ(date(19980714, 4232, 12, 0), ok("1998-07-14  "));
    EXPECT_EQ(date(19980714, 4232, 12, 1), ok("1998-07-14  "));
    EXPECT_EQ(date(19980714, 4232, 12, 2), ok(" 1998-07-14 "));
    EXPECT_EQ(date(19980714, 4232, 12, 3), ok("  1998-07-14"));
    EXPECT_EQ(date(19980714, 4232, 10, 3), ok("1998-07-14"));
    EXPECT_EQ(date(19980714, 4232, 15, 2), ok("  1998-07-14   "));
    EXPECT_EQ(date(50101, 4232, 10), ok("0005-01-01"));
}

TEST(LdtFormatDate, Layouts) {
    EXPECT_EQ(date(19980714, 2313, 8), ok("07/14/98"));
    EXPECT_EQ(date(19980714, 3214, 8), ok("14.07.98"));
    EXPECT_EQ(date(19980714, 3244, 10), ok("14.07.1998"));
    EXPECT_EQ(date(19980714, 5341, 12), ok("JUL 14, 1998"));
    EXPECT_EQ(date(19980714, 6341, 13), ok("July 14, 1998"));
    EXPECT_EQ(date(19980714, 8641, 20), ok("Tuesday 14 July 1998"));
    EXPECT_EQ(date(19980714, 5711, 14), ok("TUE JUL 14, 98"));
    EXPECT_EQ(date(19980714, 2310, 6), ok("071498"));
    EXPECT_EQ(date(19980714, 8640, 17), ok("Tuesday14July1998"));
    EXPECT_EQ(date(19980714, 7512, 13), ok("TUE-14-JUL-98"));
    EXPECT_EQ(date(19980714, 531, 6), ok("JUL 14"));
    EXPECT_EQ(date(19980714, 41, 4), ok("1998"));
    EXPECT_EQ(date(19980714, 10, 2), ok("98"));
    // The comma only joins a month in letters, a day and a blank.
    EXPECT_EQ(date(19980714, 6342, 12), ok("July-14-1998"));
    EXPECT_EQ(date(19980714, 3641, 12), ok("14 July 1998"));
    EXPECT_EQ(date(19980714, 5131, 9), ok("JUL 98 14"));
    EXPECT_EQ(date(20010926, 8641, 27), ok("Wednesday 26 September 2001"));
    EXPECT_EQ(date(20010926, 8641, 26), std::make_pair(1026, std::string()));
}

TEST(LdtFormatDate, ValuesAreNotValidated) {
    EXPECT_EQ(date(19981399, 4232, 10), ok("1998-13-99"));
    EXPECT_EQ(date(19981399, 6341, 16), ok("Illegal 99, 1998"));
    EXPECT_EQ(date(714, 4232, 10), ok("0000-07-14"));
}

TEST(LdtFormatDate, Errors) {
    const auto empty = std::make_pair(1026, std::string());
    const auto untouched1026 = std::make_pair(1026, std::string("<untouched>"));
    const auto untouched1044 = std::make_pair(1044, std::string("<untouched>"));
    EXPECT_EQ(date(19980714, 4232, 9), empty);
    EXPECT_EQ(date(19980714, 4232, 12, 4), empty);
    EXPECT_EQ(date(19980714, 4232, 12, -1), empty);
    EXPECT_EQ(date(19980714, 4232, 0), untouched1026);
    EXPECT_EQ(date(19980714, 4232, 31), untouched1026);
    for (int format : {9, 8645, 1431, 2033, 2315})
        EXPECT_EQ(date(19980714, format, 12), untouched1044) << format;

    Output out;
    EXPECT_EQ(ldtFormatDate(out.text, sizeof out.text, 12, 19980714, 2, 4232, 0), 1026);
    // No room for the terminator.
    EXPECT_EQ(ldtFormatDate(out.text, 12, 12, 19980714, 4, 4232, 0), 1026);
    EXPECT_TRUE(out.untouched());
    EXPECT_EQ(ldtFormatDate(nullptr, 13, 12, 19980714, 4, 4232, 0), 1026);
    char exact[13];
    EXPECT_EQ(ldtFormatDate(exact, sizeof exact, 12, 19980714, 4, 4232, 3), 0);
    EXPECT_STREQ(exact, "  1998-07-14");
}

TEST(LdtCheckOutputFormat, ValidAndInvalidCodes) {
    for (int format : {10, 4232, 2313, 3214, 5341, 6341, 8641, 5711, 2310, 8644, 531, 41, 80, 1234})
        EXPECT_EQ(ldtCheckOutputFormat(format), 0) << format;
    for (int format : {0, 9, -4232, 8645, 9999, 1431, 2033, 2315, 4202, 4292, 4932, 4412,
                       2562, 3782, 105, 1001, 55, 90})
        EXPECT_EQ(ldtCheckOutputFormat(format), 1044) << format;
}

TEST(LdtFormatTime, Styles) {
    EXPECT_EQ(time(41950, 3, 8), ok("11:39:10"));
    EXPECT_EQ(time(41950, 1, 5), ok("11:39"));
    EXPECT_EQ(time(41950, 0, 6), ok("11:39A"));
    EXPECT_EQ(time(41950, 2, 9), ok("11:39:10A"));
    EXPECT_EQ(time(52200, 0, 6), ok("02:30P"));
    EXPECT_EQ(time(52200, 2, 9), ok("02:30:00P"));
    EXPECT_EQ(time(43200, 0, 6), ok("12:00N"));
    EXPECT_EQ(time(43230, 2, 9), ok("12:00:30N"));
    EXPECT_EQ(time(43260, 0, 6), ok("12:01P"));
    EXPECT_EQ(time(0, 0, 6), ok("12:00M"));
    EXPECT_EQ(time(86400, 0, 6), ok("12:00M"));
    EXPECT_EQ(time(60, 0, 6), ok("12:01A"));
    EXPECT_EQ(time(86400, 3, 8), ok("24:00:00"));
    EXPECT_EQ(time(86400, 1, 5), ok("24:00"));
    EXPECT_EQ(time(36000, 3, 8), ok("10:00:00"));
    EXPECT_EQ(time(3600, 3, 8), ok("01:00:00"));
    EXPECT_EQ(time(0, 3, 8), ok("00:00:00"));
}

TEST(LdtFormatTime, WidthAndJustification) {
    EXPECT_EQ(time(41950, 3, 9, 0), ok("11:39:10 "));
    EXPECT_EQ(time(41950, 3, 9, 3), ok(" 11:39:10"));
    EXPECT_EQ(time(41950, 1, 9, 2), ok("  11:39  "));
    EXPECT_EQ(time(41950, 1, 9, 1), ok("11:39    "));
}

TEST(LdtFormatTime, Errors) {
    const auto untouched = std::make_pair(1076, std::string("<untouched>"));
    EXPECT_EQ(time(86401, 3, 8), untouched);
    EXPECT_EQ(time(-1, 3, 8), untouched);
    EXPECT_EQ(time(41950, 3, 0), untouched);
    EXPECT_EQ(time(41950, 3, 10), untouched);
    EXPECT_EQ(time(41950, 4, 8), std::make_pair(1044, std::string()));
    EXPECT_EQ(time(41950, -1, 8), std::make_pair(1044, std::string()));
    EXPECT_EQ(time(41950, 3, 8, 4), std::make_pair(1076, std::string()));
    EXPECT_EQ(time(41950, 3, 7), std::make_pair(1076, std::string()));
    EXPECT_EQ(time(41950, 2, 8), std::make_pair(1076, std::string()));

    Output out;
    EXPECT_EQ(ldtFormatTime(out.text, sizeof out.text, 8, 41950, 4, 3, 0), 1076);
    EXPECT_EQ(ldtFormatTime(out.text, 8, 8, 41950, 2, 3, 0), 1076);
    EXPECT_TRUE(out.untouched());
    char exact[9];
    EXPECT_EQ(ldtFormatTime(exact, sizeof exact, 8, 41950, 2, 3, 0), 0);
    EXPECT_STREQ(exact, "11:39:10");
}

}  // namespace
