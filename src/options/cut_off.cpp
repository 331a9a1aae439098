#include "cut_off.h"

#include "diagnostics.h"
#include "ldt.h"
#include "options.h"
#include "settings.h"
#include "util.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>

namespace {

// The layouts a user may type a date in, tried in this order: the first
// that parses wins, so 98/07/14 is read year first.
const int userDateFormats[] = {423, 234, 231, 23, 324, 321, 32, 123};

// Local time from broken-down fields. The daylight-saving flag is left to
// the library: the fields may now name a day on the other side of a change,
// and keeping the flag of the start time would shift the result an hour.
std::time_t localTimeOf(std::tm& fields) {
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

bool parseDateAs(const char* text, int format, LdtDate& date) {
    const int length = static_cast<int>(std::min<std::size_t>(std::strlen(text), INT_MAX));
    return ldtParseDate(text, length, date, ldtKindDate, format, 1) == ldtOk;
}

}  // namespace

bool parseUserDate(const char* text, int& year, int& month, int& day, int* layout) {
    for (int format : userDateFormats) {
        LdtDate date = 0;
        if (parseDateAs(text, format, date)) {
            ldtSplit(ldtExpandYear(date), year, month, day);
            if (layout) *layout = format;
            return true;
        }
    }
    return false;
}

void checkDateCutOff(bool deletes) {
    const char* text = settings.dateCutOff;
    int year = 0, month = 0, day = 0, layout = 0;
    if (!text || !parseUserDate(text, year, month, day, &layout)) return;
    const LdtDate taken = ldtCompose(year, month, day);
    const std::tm& now = settings.nowLocal;
    // The date alone: a cut-off of today with a time is no future one.
    const bool afterToday = taken > ldtCompose(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
    const bool twoDigitYearOtherOrder = layout == 231 || layout == 321;
    // The usage text shows yy/mm/dd: when the text reads as a date that way
    // too, and another one, what was typed is not what is taken.
    LdtDate yearFirst = 0;
    const bool misread = twoDigitYearOtherOrder && parseDateAs(text, 123, yearFirst) && yearFirst != taken;

    if (deletes && misread)
        fatalError(2424,
                   "Date cut-off %s is read as %04d/%02d/%02d, not as year/month/day: nothing is archived or "
                   "deleted. Write the year with four digits (yyyy/mm/dd).",
                   text, year, month, day);
    if (deletes && afterToday)
        fatalError(2422,
                   "Date cut-off %s is read as %04d/%02d/%02d, after today: nothing is archived or deleted. "
                   "Write the year with four digits (yyyy/mm/dd).",
                   text, year, month, day);
    if (twoDigitYearOtherOrder)
        reportWarning(2428, "Date cut-off %s is read as %04d/%02d/%02d, not as year/month/day", text, year, month,
                      day);
    else if (afterToday)
        reportWarning(2426, "Date cut-off %s is read as %04d/%02d/%02d, after today", text, year, month, day);
}

bool parseUserTime(const char* text, int& seconds) {
    LdtTime time = 0;
    if (ldtParseTime(text, 9, time, ldtKindTime, ldtClock24, 1) != ldtOk) return false;
    seconds = time;
    return true;
}

void setCutOffDate(int year, int month, int day) {
    settings.cutOffFields.tm_year = year - 1900;
    settings.cutOffFields.tm_mon = month - 1;
    settings.cutOffFields.tm_mday = day;
    settings.dateCutOffTime = localTimeOf(settings.cutOffFields);
}

void setCutOffTime(int seconds) {
    settings.cutOffFields.tm_sec = 59;
    settings.cutOffFields.tm_hour = seconds / 3600;
    settings.cutOffFields.tm_min = (seconds % 3600) / 60;
    settings.dateCutOffTime = localTimeOf(settings.cutOffFields);
}

int leadingNumber(const char* text) {
    long long value = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT_MAX) return INT_MAX;
    }
    return static_cast<int>(value);
}

void setFileAge(const char* text) {
    settings.fileAge = keepString(text);
    settings.fileAgeDays = leadingNumber(text);
    std::tm& age = settings.ageFields;
    const int today = ldtDateToDayNumber(ldtCompose(age.tm_year + 1900, age.tm_mon + 1, age.tm_mday));
    // No date before the year 1: a larger age selects everything anyway.
    const int earliest = ldtDayNumber(1, 1, 1);
    const int days = settings.fileAgeDays > today - earliest ? today - earliest : settings.fileAgeDays;
    int year = 0, month = 0, day = 0;
    ldtSplit(ldtDayNumberToDate(today - days), year, month, day);
    age.tm_year = year - 1900;
    age.tm_mon = month - 1;
    age.tm_mday = day;
    settings.ageCutOffTime = localTimeOf(age);
}
