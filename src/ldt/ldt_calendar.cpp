// Calendar values, day numbers, the clock and the name tables.
//
// The arithmetic runs in 64 bits: the operations take any int without
// validation, and an overflowing intermediate would be undefined behaviour.
#include "ldt.h"

#include "ldt_detail.h"

#include <ctime>
#include <mutex>

namespace {

constexpr const char* monthNames[13] = {
    "Illegal", "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",  "September", "October", "November", "December",
};

constexpr const char* weekdayNames[8] = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Illegal",
};

char monthAbbrevBuffer[4];
char weekdayAbbrevBuffer[4];

const char* abbreviate(const char* name, char (&buffer)[4]) {
    ldt_detail::abbreviationOf(name, buffer);
    return buffer;
}

// The year as the formulas below count it, from March, so that a leap
// day comes last: `month` becomes 0 for March up to 11 for February, and
// January and February belong to the year before.
void countFromMarch(long long& year, long long& month) {
    if (month > 2) {
        month -= 3;
    } else {
        month += 9;
        year -= 1;
    }
}

}  // namespace

LdtDate ldtCompose(int year, int month, int day) {
    return static_cast<LdtDate>(static_cast<long long>(year) * 10000 +
                                static_cast<long long>(month) * 100 + day);
}

void ldtSplit(LdtDate value, int& year, int& month, int& day) {
    year = value / 10000;
    month = (value % 10000) / 100;
    day = value % 100;
}

int ldtDayNumber(int year, int month, int day) {
    long long y = year <= 0 ? 1 : year;
    long long m = month;
    countFromMarch(y, m);
    long long c = y / 100;
    long long r = y % 100;
    long long n = (146097 * c) / 4 + (1461 * r) / 4 + (153 * m + 2) / 5 + day + 1721119;
    return static_cast<int>(n);
}

void ldtFromDayNumber(int dayNumber, int& year, int& month, int& day) {
    long long j = 4LL * dayNumber - 6884477;
    long long y = j / 146097;
    long long d = (j - 146097 * y) / 4;
    long long k = (4 * d + 3) / 1461;
    d = (4 * d + 3 - 1461 * k + 4) / 4;
    long long m = (5 * d - 3) / 153;
    day = static_cast<int>((5 * d - 3 - 153 * m + 5) / 5);
    long long yr = 100 * y + k;
    if (m < 10) {
        month = static_cast<int>(m + 3);
    } else {
        month = static_cast<int>(m - 9);
        yr += 1;
    }
    year = static_cast<int>(yr);
}

int ldtDateToDayNumber(LdtDate value) {
    int year, month, day;
    ldtSplit(value, year, month, day);
    return ldtDayNumber(year, month, day);
}

LdtDate ldtDayNumberToDate(int dayNumber) {
    int year, month, day;
    ldtFromDayNumber(dayNumber, year, month, day);
    return ldtCompose(year, month, day);
}

LdtDate ldtExpandYear(LdtDate value) {
    int year = value / 10000;
    if (year >= 100) return value;
    if (year >= 80) return value + 19000000;
    return value + 20000000;
}

int ldtIsLeapYear(int year) {
    if (year % 400 == 0) return 1;
    return (year % 4 == 0 && year % 100 != 0) ? 1 : 0;
}

int ldtDaysInMonth(int year, int month) {
    switch (month) {
    case 2:
        return 28 + ldtIsLeapYear(year);
    case 4: case 6: case 9: case 11:
        return 30;
    case 1: case 3: case 5: case 7: case 8: case 10: case 12:
        return 31;
    default:
        return 0;
    }
}

int ldtWeekday(int year, int month, int day) {
    long long m = month;
    long long a = year;
    countFromMarch(a, m);
    m += 1;  // the formula counts March as 1
    long long c = a / 100;
    long long r = a % 100;
    long long s = r + r / 4 + c / 4 - 2 * c + (13 * m - 1) / 5 + day + 77;
    // The formula's sum stays positive up to the year 4599; a floored
    // remainder keeps the index within 0..6 beyond it.
    return static_cast<int>(((s % 7) + 7) % 7);
}

void ldtToday(int& year, int& month, int& day) {
    year = month = day = 0;
    std::time_t now = std::time(nullptr);
    if (now == static_cast<std::time_t>(-1)) return;
    // std::localtime hands back a shared record; copy it out under a lock.
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    const std::tm* local = std::localtime(&now);
    if (!local) return;
    year = local->tm_year + 1900;
    month = local->tm_mon + 1;
    day = local->tm_mday;
}

const char* ldtMonthName(int month) {
    return monthNames[(month >= 1 && month <= 12) ? month : 0];
}

const char* ldtMonthAbbrev(int month) {
    return abbreviate(ldtMonthName(month), monthAbbrevBuffer);
}

const char* ldtWeekdayName(int weekday) {
    return weekdayNames[(weekday >= 0 && weekday <= 6) ? weekday : 7];
}

const char* ldtWeekdayAbbrev(int weekday) {
    return abbreviate(ldtWeekdayName(weekday), weekdayAbbrevBuffer);
}
