// ldtParseDate and ldtCheckDateFormat.
#include "ldt.h"
#include "ldt_test_clock.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr LdtDate untouched = -7;

// Result code and out-value, for a text passed with its own length.
std::pair<int, LdtDate> parse(const std::string& text, int format) {
    LdtDate date = untouched;
    const int code = ldtParseDate(text.c_str(), static_cast<int>(text.size()), date, 4, format, 1);
    return {code, date};
}

std::pair<int, LdtDate> ok(LdtDate date) { return {0, date}; }
const std::pair<int, LdtDate> notADate{1021, 101};

TEST(LdtParseDate, DayMonthYear) {
    EXPECT_EQ(parse("14 Jul 1998", 324), ok(19980714));
    // The two-digit year takes "19" and leaves "98", which is no weekday.
    EXPECT_EQ(parse("14 Jul 1998", 321), notADate);
    EXPECT_EQ(parse("29.02.2000", 324), ok(20000229));
    EXPECT_EQ(parse("29.02.1900", 324), notADate);
    EXPECT_EQ(parse("31/02/98", 321), notADate);
    EXPECT_EQ(parse("  5 march 2001  ", 324), ok(20010305));
    EXPECT_EQ(parse("14 Foo 1998", 324), notADate);
    EXPECT_EQ(parse("14 Jul 12345", 324), notADate);
    EXPECT_EQ(parse("14 Jul 98", 324), notADate);
    EXPECT_EQ(parse("14 Jul 98 Tue", 324), notADate);  // a blank at 3 ends no four-digit year
    EXPECT_EQ(parse("14 Jul 9 8", 321), notADate);  // nor at 2 a two-digit one
}

TEST(LdtParseDate, LeadingAndTrailingWeekday) {
    EXPECT_EQ(parse("Tue, 14 Jul 1998", 324), ok(19980714));
    EXPECT_EQ(parse("Tuesday 14 July 1998", 324), ok(19980714));
    EXPECT_EQ(parse("tue,14 jul 1998", 324), ok(19980714));
    EXPECT_EQ(parse("Tues, 14 Jul 1998", 324), notADate);
    EXPECT_EQ(parse("14 Jul 1998 Tue", 324), ok(19980714));
    EXPECT_EQ(parse("14 Jul 1998 Tuesday,", 324), ok(19980714));
    EXPECT_EQ(parse("14 Jul 1998 Tue x", 324), notADate);
    EXPECT_EQ(parse("14 Jul 1998 (Tue)", 324), notADate);
    EXPECT_EQ(parse("Tuesday", 324), notADate);
    EXPECT_EQ(parse("Tuesday, ", 324), notADate);
    // The weekday is not checked against the date.
    EXPECT_EQ(parse("Fri 14 Jul 1998", 324), ok(19980714));
}

TEST(LdtParseDate, ALeadingMonthNameIsRejectedByEveryCode) {
    for (int format : {423, 234, 231, 23, 324, 321, 32, 123})
        EXPECT_EQ(parse("Jul 14 1998", format), notADate) << format;
    EXPECT_EQ(parse("Tue Jul 14 1998", 234), ok(19980714));
    EXPECT_EQ(parse("Tue Jul 14 1998", 324), notADate);  // a letter where the day goes
}

TEST(LdtParseDate, MonthNames) {
    EXPECT_EQ(parse("Tuesday, July 14, 1998", 234), ok(19980714));
    EXPECT_EQ(parse("Sat mAY 05 2001", 234), ok(20010505));
    EXPECT_EQ(parse("Sun September 5 2001", 234), ok(20010905));
    EXPECT_EQ(parse("5 September 2001", 324), ok(20010905));
    // A word that only begins with the abbreviation gives up three letters.
    EXPECT_EQ(parse("Sun Sept 5 2001", 234), notADate);
    EXPECT_EQ(parse("5 Sept 2001", 324), notADate);
    EXPECT_EQ(parse("4 Aug", 324), notADate);
    EXPECT_EQ(parse("4 Aug", 321), notADate);
    EXPECT_EQ(parse("4 Aug", 32), ok(804));
    EXPECT_EQ(parse("29 Feb", 32), ok(229));  // year 0 is a leap year
    EXPECT_EQ(parse("30 Feb", 32), notADate);
}

TEST(LdtParseDate, TwoDigitYearsTakeTodaysCentury) {
    const int century = testCentury();
    EXPECT_EQ(parse("07/14/98", 324), notADate);
    EXPECT_EQ(parse("07/14/98", 234), notADate);
    EXPECT_EQ(parse("07/14/98", 231), ok((century + 98) * 10000 + 714));
    EXPECT_EQ(parse("7/4/98", 231), ok((century + 98) * 10000 + 704));
    EXPECT_EQ(parse("071498", 231), ok((century + 98) * 10000 + 714));
    EXPECT_EQ(parse("98/07/04", 123), ok((century + 98) * 10000 + 704));
    // The day ends the text with a single digit.
    EXPECT_EQ(parse("98/7/4", 123), notADate);
    EXPECT_EQ(parse("14 Jul 05", 321), ok((century + 5) * 10000 + 714));
}

TEST(LdtParseDate, SeparatorsAndCommas) {
    EXPECT_EQ(parse("1998-07-14", 423), ok(19980714));
    EXPECT_EQ(parse("19980714", 423), ok(19980714));
    EXPECT_EQ(parse("1998.7.04", 423), ok(19980704));
    EXPECT_EQ(parse("1998.7.4", 423), notADate);
    EXPECT_EQ(parse("1998-07/14", 423), notADate);
    EXPECT_EQ(parse("14, Jul, 1998", 324), notADate);
    EXPECT_EQ(parse(",", 324), notADate);
    EXPECT_EQ(parse("-", 324), notADate);
    EXPECT_EQ(parse("07 14", 23), ok(714));
    EXPECT_EQ(parse("1998 07 14x", 423), notADate);
}

TEST(LdtParseDate, CodesWithoutMonthOrDayNeverYieldADate) {
    EXPECT_EQ(parse("14", 3), notADate);
    EXPECT_EQ(parse("07", 2), notADate);
    EXPECT_EQ(parse("1998", 4), notADate);
    EXPECT_EQ(parse("1998 07", 42), notADate);
    EXPECT_EQ(parse("07 1998", 24), notADate);
}

TEST(LdtParseDate, EmptyAndBlankTexts) {
    EXPECT_EQ(parse("   ", 324), std::make_pair(1023, 101));
    LdtDate date = untouched;
    EXPECT_EQ(ldtParseDate("", 1, date, 4, 324, 1), 1023);
    EXPECT_EQ(date, 101);
    date = untouched;
    EXPECT_EQ(ldtParseDate("", 1, date, 4, 324, 0), 1023);
    EXPECT_EQ(date, 101);
    date = untouched;
    EXPECT_EQ(ldtParseDate(nullptr, 5, date, 4, 324, 1), 1023);
    EXPECT_EQ(date, 101);
}

TEST(LdtParseDate, ArgumentErrors) {
    LdtDate date = untouched;
    const std::string longText(31, '1');
    EXPECT_EQ(ldtParseDate(longText.c_str(), 31, date, 4, 423, 1), 1022);
    EXPECT_EQ(ldtParseDate("14 Jul 1998", 0, date, 4, 324, 1), 1022);
    EXPECT_EQ(ldtParseDate("14 Jul 1998", -1, date, 4, 324, 1), 1022);
    EXPECT_EQ(ldtParseDate("14 Jul 1998", 11, date, 2, 324, 1), 1022);
    EXPECT_EQ(ldtParseDate("14 Jul 1998", 11, date, 4, 325, 1), 1044);
    EXPECT_EQ(ldtParseDate("14 Jul 1998", 11, date, 4, 0, 1), 1044);
    EXPECT_EQ(date, untouched);
    // Once the arguments pass, the out-value is 101 even for a bad flag.
    EXPECT_EQ(ldtParseDate("14 Jul 1998", 11, date, 4, 324, 2), 1022);
    EXPECT_EQ(date, 101);
    date = untouched;
    EXPECT_EQ(ldtParseDate("14 Jul 1998", 11, date, 4, 324, -1), 1022);
    EXPECT_EQ(date, 101);
}

TEST(LdtParseDate, TextOfAnyLengthThroughStringView) {
    LdtDate date = untouched;
    EXPECT_EQ(ldtParseDate(std::string_view("14 Jul 1998"), date, 4, 324, 1), 0);
    EXPECT_EQ(date, 19980714);
    date = untouched;
    const std::string huge(100000, '7');
    EXPECT_EQ(ldtParseDate(std::string_view(huge), date, 4, 324, 1), 1022);
    EXPECT_EQ(ldtParseDate(std::string_view(huge.data(), 31), date, 4, 324, 1), 1022);
    EXPECT_EQ(date, untouched);
    const std::string thirty = "Wednesday, 14 July 1998       ";
    ASSERT_EQ(thirty.size(), 30u);
    EXPECT_EQ(ldtParseDate(std::string_view(thirty), date, 4, 324, 1), 0);
    EXPECT_EQ(date, 19980714);
}

TEST(LdtParseDate, ReadsNoMoreThanLengthBytes) {
    // Exactly sized heap copies without a terminator: the sanitizer
    // reports any read beyond them.
    const std::string text = "14 Jul 1998";
    std::vector<char> raw(text.begin(), text.end());
    LdtDate date = untouched;
    EXPECT_EQ(ldtParseDate(raw.data(), static_cast<int>(raw.size()), date, 4, 324, 1), 0);
    EXPECT_EQ(date, 19980714);
    EXPECT_EQ(ldtParseDate("14 Jul 1998 and more", 11, date, 4, 324, 1), 0);
    EXPECT_EQ(date, 19980714);
    std::vector<char> thirty(30, '9');
    EXPECT_EQ(ldtParseDate(thirty.data(), 30, date, 4, 423, 1), 1021);
}

TEST(LdtCheckDateFormat, ValidAndInvalidCodes) {
    for (int format : {423, 234, 231, 23, 324, 321, 32, 123, 1, 2, 3, 4, 12, 43, 432, 213})
        EXPECT_EQ(ldtCheckDateFormat(format), 0) << format;
    for (int format : {0, -1, -423, 5, 9, 10, 20, 430, 403, 433, 500, 424, 414, 141, 114, 14, 41,
                       22, 33, 322, 233, 15, 425, 1000})
        EXPECT_EQ(ldtCheckDateFormat(format), 1044) << format;
}

// What the formatter writes in the normal form the parser must read back.
TEST(LdtParseDate, EveryValidDateWrittenAs4232ParsesBackWith423) {
    int failures = 0;
    char text[11];
    for (int year = 0; year <= 9999; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= ldtDaysInMonth(year, month); ++day) {
                const LdtDate date = ldtCompose(year, month, day);
                LdtDate back = untouched;
                const bool good = ldtFormatDate(text, sizeof text, 10, date, 4, 4232, 0) == 0 &&
                                  ldtParseDate(text, 10, back, 4, 423, 1) == 0 && back == date;
                if (!good && ++failures <= 5) ADD_FAILURE() << date << " as '" << text << "'";
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(LdtParseDate, LongDatesWithNamesParseBack) {
    char text[31];
    for (int year = 1990; year <= 2030; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= ldtDaysInMonth(year, month); ++day) {
                const LdtDate date = ldtCompose(year, month, day);
                LdtDate back = untouched;
                ASSERT_EQ(ldtFormatDate(text, sizeof text, 30, date, 4, 8641, 0), 0);
                ASSERT_EQ(ldtParseDate(text, 30, back, 4, 324, 1), 0) << text;
                ASSERT_EQ(back, date);
                ASSERT_EQ(ldtFormatDate(text, sizeof text, 30, date, 4, 5741, 0), 0);
                ASSERT_EQ(ldtParseDate(text, 30, back, 4, 234, 1), 0) << text;
                ASSERT_EQ(back, date);
            }
        }
    }
}

// Arbitrary bytes: only the documented codes, 101 on every failure, a
// valid date on success, and (in the sanitizer build) no stray access.
TEST(LdtParseDate, ArbitraryBytesAreSafe) {
    std::mt19937 random(20240611);
    const char alphabet[] = "0123456789 ,-./:TuesdayJulyMAYsep\t\x80\xff";
    const int formats[] = {423, 234, 231, 23, 324, 321, 32, 123, 1, 43};
    for (int round = 0; round < 20000; ++round) {
        const int length = 1 + static_cast<int>(random() % 30);
        std::vector<char> raw(static_cast<std::size_t>(length));
        for (char& c : raw) {
            c = random() % 8 == 0 ? static_cast<char>(random() % 256)
                                  : alphabet[random() % (sizeof alphabet - 1)];
        }
        for (int format : formats) {
            LdtDate date = untouched;
            const int code = ldtParseDate(raw.data(), length, date, 4, format, 1);
            if (code == 0) {
                int y, m, d;
                ldtSplit(date, y, m, d);
                ASSERT_TRUE(m >= 1 && m <= 12 && d >= 1 && d <= ldtDaysInMonth(y, m));
            } else {
                ASSERT_TRUE(code == 1021 || code == 1023) << code;
                ASSERT_EQ(date, 101);
            }
        }
    }
}

}  // namespace
