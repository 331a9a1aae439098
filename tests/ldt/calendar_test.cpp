// Calendar values, day numbers, weekdays, the clock and the name tables.
#include "ldt.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <string>

namespace {

TEST(LdtDayNumber, KnownDays) {
    EXPECT_EQ(ldtDayNumber(1970, 1, 1), 2440588);
    EXPECT_EQ(ldtDayNumber(2000, 2, 29), 2451604);
    EXPECT_EQ(ldtDateToDayNumber(19980714), 2451009);
    EXPECT_EQ(ldtDayNumberToDate(2451009), 19980714);
    // The ends of the supported range, as astronomers number them.
    EXPECT_EQ(ldtDayNumber(1, 1, 1), 1721426);
    EXPECT_EQ(ldtDayNumber(9999, 12, 31), 5373484);
}

TEST(LdtDayNumber, YearZeroOrBelowCountsAsYearOne) {
    EXPECT_EQ(ldtDayNumber(0, 3, 1), ldtDayNumber(1, 3, 1));
    EXPECT_EQ(ldtDayNumber(-20, 7, 4), ldtDayNumber(1, 7, 4));
    EXPECT_EQ(ldtDateToDayNumber(714), ldtDayNumber(1, 7, 14));
}

TEST(LdtDayNumber, AddingDays) {
    EXPECT_EQ(ldtDayNumberToDate(ldtDateToDayNumber(20000301) - 1), 20000229);
    EXPECT_EQ(ldtDayNumberToDate(ldtDateToDayNumber(19990301) - 1), 19990228);
    EXPECT_EQ(ldtDayNumberToDate(ldtDateToDayNumber(19991231) + 1), 20000101);
    EXPECT_EQ(ldtDayNumberToDate(ldtDateToDayNumber(19980714) + 365), 19990714);
}

// Walks the calendar by its own month lengths: consecutive dates must get
// consecutive numbers, and each number must convert back to its date.
TEST(LdtDayNumber, ExactInverseForEveryDateOfYears1To9999) {
    int expected = ldtDayNumber(1, 1, 1);
    int failures = 0;
    for (int year = 1; year <= 9999; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= ldtDaysInMonth(year, month); ++day, ++expected) {
                int y = 0, m = 0, d = 0;
                ldtFromDayNumber(expected, y, m, d);
                const bool ok = ldtDayNumber(year, month, day) == expected && y == year &&
                                m == month && d == day &&
                                ldtDayNumberToDate(expected) == ldtCompose(year, month, day);
                if (!ok && ++failures <= 5)
                    ADD_FAILURE() << year << "-" << month << "-" << day << " day " << expected;
            }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(expected - 1, 5373484);
}

TEST(LdtWeekday, KnownDays) {
    EXPECT_EQ(ldtWeekday(1998, 7, 14), 2);  // Tuesday
    EXPECT_EQ(ldtWeekday(2000, 1, 1), 6);   // Saturday
    EXPECT_EQ(ldtWeekday(1970, 1, 1), 4);   // Thursday
    EXPECT_EQ(ldtWeekday(2000, 2, 29), 2);
}

// Day number 0 was a Monday, so (day number + 1) mod 7 counts from Sunday.
TEST(LdtWeekday, AgreesWithDayNumberForYears1To4599) {
    int failures = 0;
    for (int year = 1; year <= 4599; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= ldtDaysInMonth(year, month); ++day) {
                const int expected = (ldtDayNumber(year, month, day) + 1) % 7;
                if (ldtWeekday(year, month, day) != expected && ++failures <= 5)
                    ADD_FAILURE() << year << "-" << month << "-" << day;
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(LdtWeekday, StaysAWeekdayBeyond4599) {
    for (int year : {4600, 5000, 8000, 9999}) {
        for (int month = 1; month <= 12; ++month) {
            EXPECT_EQ(ldtWeekday(year, month, 1), (ldtDayNumber(year, month, 1) + 1) % 7)
                << year << "-" << month;
        }
    }
}

// Nonsense input must not be undefined behaviour (the sanitizer build
// checks the arithmetic).
TEST(LdtCalendar, ExtremeInputsAreSafe) {
    for (int v : {INT_MIN, -1, 0, INT_MAX}) {
        const int weekday = ldtWeekday(v, v, v);
        EXPECT_GE(weekday, 0);
        EXPECT_LE(weekday, 6);
        int y, m, d;
        ldtFromDayNumber(v, y, m, d);
        (void)ldtDayNumber(v, v, v);
        (void)ldtDayNumberToDate(v);
        (void)ldtDateToDayNumber(v);
        (void)ldtCompose(v, v, v);
        (void)ldtExpandYear(v);
        EXPECT_EQ(ldtDaysInMonth(v, v), 0);
    }
}

TEST(LdtCalendar, ComposeAndSplit) {
    EXPECT_EQ(ldtCompose(1998, 7, 14), 19980714);
    EXPECT_EQ(ldtCompose(0, 8, 4), 804);
    int y = -1, m = -1, d = -1;
    ldtSplit(19980714, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 19980714);
    EXPECT_EQ(y, 1998);
    ldtSplit(804, y, m, d);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(m, 8);
    EXPECT_EQ(d, 4);
}

TEST(LdtCalendar, LeapYearsAndMonthLengths) {
    EXPECT_EQ(ldtIsLeapYear(2000), 1);
    EXPECT_EQ(ldtIsLeapYear(1900), 0);
    EXPECT_EQ(ldtIsLeapYear(1996), 1);
    EXPECT_EQ(ldtIsLeapYear(1999), 0);
    EXPECT_EQ(ldtIsLeapYear(0), 1);
    EXPECT_EQ(ldtDaysInMonth(1900, 2), 28);
    EXPECT_EQ(ldtDaysInMonth(2000, 2), 29);
    EXPECT_EQ(ldtDaysInMonth(2100, 2), 28);
    EXPECT_EQ(ldtDaysInMonth(0, 2), 29);
    EXPECT_EQ(ldtDaysInMonth(1998, 13), 0);
    EXPECT_EQ(ldtDaysInMonth(1998, 0), 0);
    const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int month = 1; month <= 12; ++month)
        EXPECT_EQ(ldtDaysInMonth(1998, month), lengths[month - 1]) << month;
}

TEST(LdtCalendar, ExpandYearUsesAFixedWindow) {
    EXPECT_EQ(ldtExpandYear(980714), 19980714);
    EXPECT_EQ(ldtExpandYear(800101), 19800101);
    EXPECT_EQ(ldtExpandYear(791231), 20791231);
    EXPECT_EQ(ldtExpandYear(790101), 20790101);
    EXPECT_EQ(ldtExpandYear(714), 20000714);
    EXPECT_EQ(ldtExpandYear(19980714), 19980714);
    EXPECT_EQ(ldtExpandYear(1000101), 1000101);  // year 100
}

TEST(LdtToday, MatchesTheLocalCalendar) {
    // Retried should midnight fall between the two readings.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::tm before = testing_support::localFields(std::time(nullptr));
        int year = 0, month = 0, day = 0;
        ldtToday(year, month, day);
        const std::tm after = testing_support::localFields(std::time(nullptr));
        if (before.tm_mday != after.tm_mday) continue;
        EXPECT_EQ(year, after.tm_year + 1900);
        EXPECT_EQ(month, after.tm_mon + 1);
        EXPECT_EQ(day, after.tm_mday);
        return;
    }
    FAIL() << "the date kept changing";
}

TEST(LdtNames, Tables) {
    EXPECT_STREQ(ldtMonthName(0), "Illegal");
    EXPECT_STREQ(ldtMonthName(13), "Illegal");
    EXPECT_STREQ(ldtMonthName(-1), "Illegal");
    EXPECT_STREQ(ldtMonthName(1), "January");
    EXPECT_STREQ(ldtMonthName(9), "September");
    EXPECT_STREQ(ldtMonthName(12), "December");
    EXPECT_STREQ(ldtWeekdayName(0), "Sunday");
    EXPECT_STREQ(ldtWeekdayName(3), "Wednesday");
    EXPECT_STREQ(ldtWeekdayName(6), "Saturday");
    EXPECT_STREQ(ldtWeekdayName(7), "Illegal");
    EXPECT_STREQ(ldtWeekdayName(-1), "Illegal");
}

TEST(LdtNames, Abbreviations) {
    const char* months[] = {"ILL", "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL",
                            "AUG", "SEP", "OCT", "NOV", "DEC", "ILL"};
    for (int month = 0; month <= 13; ++month) EXPECT_STREQ(ldtMonthAbbrev(month), months[month]);
    const char* weekdays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT", "ILL"};
    for (int weekday = 0; weekday <= 7; ++weekday)
        EXPECT_STREQ(ldtWeekdayAbbrev(weekday), weekdays[weekday]);
    EXPECT_STREQ(ldtWeekdayAbbrev(-5), "ILL");
}

TEST(LdtNames, AbbreviationBufferIsSharedButOnlyByItsOwnFunction) {
    const char* month = ldtMonthAbbrev(3);
    const char* weekday = ldtWeekdayAbbrev(3);
    ldtMonthAbbrev(2);
    EXPECT_STREQ(month, "FEB");  // the next call overwrites
    // Parsing and formatting leave callers' abbreviations alone.
    char out[31];
    ASSERT_EQ(ldtFormatDate(out, sizeof out, 14, 19980714, 4, 5711, 0), 0);
    LdtDate date;
    ASSERT_EQ(ldtParseDate("Tue 14 Jul 1998", 15, date, 4, 324, 1), 0);
    EXPECT_STREQ(month, "FEB");
    EXPECT_STREQ(weekday, "WED");
}

}  // namespace
