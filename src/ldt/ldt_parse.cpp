// ldtParseDate and ldtParseTime.
//
// Both work on a bounded copy of the text. The date parser removes what it
// has read by moving a pointer through its copy, which stays terminated, so
// every look-ahead stops at the terminator at the latest.
#include "ldt.h"

#include "ldt_detail.h"

#include <cstring>

using ldt_detail::abbreviationOf;
using ldt_detail::digitValue;
using ldt_detail::isDigit;
using ldt_detail::isLetter;
using ldt_detail::upper;

namespace {

constexpr int dateCopyLength = 30;
constexpr int timeCopyLength = 15;

enum FieldClass { fieldYear, fieldMonth, fieldDay };

FieldClass inputFieldClass(int digit) {
    return digit == 2 ? fieldMonth : digit == 3 ? fieldDay : fieldYear;
}

void skipBlanks(char*& rest) {
    while (*rest == ' ') ++rest;
}

// 1-based position of the first blank, 0 when there is none.
int firstBlank(const char* rest) {
    const char* blank = std::strchr(rest, ' ');
    return blank ? static_cast<int>(blank - rest) + 1 : 0;
}

// True when the first `count` characters are digits (a terminator ends the
// check as a non-digit); their value in `value`.
bool readDigits(const char* rest, int count, int& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (!isDigit(rest[i])) return false;
        value = value * 10 + digitValue(rest[i]);
    }
    return true;
}

// Matches a name or its three-letter abbreviation at the front, ignoring
// case; 0 when neither matches, else the number of characters to remove.
int nameLengthAtFront(const char* rest, const char* name) {
    if (ldtCompare(4, rest, name) == 0) return static_cast<int>(std::strlen(name));
    char abbreviation[4];
    abbreviationOf(name, abbreviation);
    return ldtCompare(4, rest, abbreviation) == 0 ? 3 : 0;
}

// Skips a weekday name or abbreviation and the blanks and commas after it.
bool skipWeekday(char*& rest) {
    for (int weekday = 0; weekday <= 6; ++weekday) {
        const int used = nameLengthAtFront(rest, ldtWeekdayName(weekday));
        if (used == 0) continue;
        rest += used;
        while (*rest == ' ' || *rest == ',') ++rest;
        return true;
    }
    return false;
}

// A numeric day or month: one or two digits before a blank, else exactly
// the first two characters (a longer run of digits is split after two).
bool readDayOrMonthNumber(char*& rest, int& value) {
    const int blank = firstBlank(rest);
    const int count = (blank == 2 || blank == 3) ? blank - 1 : 2;
    if (!readDigits(rest, count, value)) return false;
    rest += count;
    return true;
}

bool readMonthName(char*& rest, int& month) {
    for (int candidate = 1; candidate <= 12; ++candidate) {
        const int used = nameLengthAtFront(rest, ldtMonthName(candidate));
        if (used == 0) continue;
        month = candidate;
        rest += used;
        return true;
    }
    return false;
}

bool readTwoDigitYear(char*& rest, int century, int& year) {
    if (firstBlank(rest) == 2) return false;
    int value;
    if (!readDigits(rest, 2, value)) return false;
    year = century + value;
    rest += 2;
    return true;
}

bool readFourDigitYear(char*& rest, int& year) {
    const int blank = firstBlank(rest);
    if (blank >= 2 && blank <= 4) return false;
    if (!readDigits(rest, 4, year)) return false;
    rest += 4;
    return true;
}

// Replaces the single comma, if any, by a blank; false for more than one.
bool replaceComma(char* text) {
    char* comma = std::strchr(text, ',');
    if (!comma) return true;
    if (std::strrchr(text, ',') != comma) return false;
    *comma = ' ';
    return true;
}

// Replaces every '-', '.' and '/' by a blank; false when more than one kind
// occurs.
bool replaceSeparators(char* text) {
    static constexpr char separators[] = "-./";
    bool seen[3] = {false, false, false};
    for (char* c = text; *c != '\0'; ++c) {
        const char* kind = std::strchr(separators, *c);
        if (!kind) continue;
        seen[kind - separators] = true;
        *c = ' ';
    }
    return seen[0] + seen[1] + seen[2] <= 1;
}

// A time's text while it is taken apart: trimmed, in capitals, its colons
// taken out as their places are noted.
struct TimeText {
    char work[timeCopyLength + 1];
    int len = 0;
    int minutesAt = 0;   // 1-based position where the minutes begin
    int secondsAt = 0;   // 1-based position where the seconds begin, 0 without seconds
    char suffix = '\0';  // the 12-hour clock's letter: A, P, M (midnight) or N (noon)

    void removeAt(int index) {  // 0-based
        std::memmove(work + index, work + index + 1, static_cast<std::size_t>(len - index));
        --len;
    }
    int colonIndex() const {
        const char* colon = std::strchr(work, ':');
        return colon ? static_cast<int>(colon - work) : -1;
    }
};

// Copies `text` without its outer blanks, in capitals. The trimmed form is
// measured in the caller's text first, so that a text too long for the
// copy is refused without touching either.
int copyTrimmed(const char* text, bool required, TimeText& t) {
    const char* begin = text;
    while (*begin == ' ') ++begin;
    const char* end = begin + std::strlen(begin);
    while (end > begin && end[-1] == ' ') --end;
    const std::size_t trimmed = static_cast<std::size_t>(end - begin);
    if (trimmed == 0 && required) return ldtErrTimeEmpty;
    if (trimmed > timeCopyLength) return ldtErrNotATime;
    t.len = static_cast<int>(trimmed);
    for (int i = 0; i < t.len; ++i) t.work[i] = upper(begin[i]);
    t.work[t.len] = '\0';
    return ldtOk;
}

// Notes where the minutes and seconds begin and takes the colons out:
// "h:mm" and "h:mm:ss", or without a colon "hmm", the minutes being the
// last two characters (counted before a suffix is taken off).
bool splitAtColons(TimeText& t) {
    int index = t.colonIndex();
    if (index >= 0) {
        t.minutesAt = index + 1;
        t.removeAt(index);
    } else {
        if (t.len < 3) return false;
        t.minutesAt = t.len - 1;
    }
    index = t.colonIndex();
    if (index >= 0) {
        t.secondsAt = index + 1;
        t.removeAt(index);
    }
    return t.colonIndex() < 0 && t.len != 0;
}

// On the 12-hour clock the last letter is the suffix; "AM" and "PM",
// possibly after blanks, count by the letter before the M.
bool takeSuffix(TimeText& t, int clock) {
    if (clock != ldtClock12) return true;
    t.suffix = t.work[--t.len];
    t.work[t.len] = '\0';
    if (t.len == 0) return false;
    if (t.suffix == 'M' && !isDigit(t.work[t.len - 1])) {
        t.suffix = t.work[--t.len];
        while (t.len > 0 && t.work[t.len - 1] == ' ') --t.len;
        t.work[t.len] = '\0';
        if (t.len == 0) return false;
    }
    return std::strchr("APMN", t.suffix) != nullptr;
}

bool onlyDigits(const TimeText& t) {
    for (int i = 0; i < t.len; ++i) {
        if (!isDigit(t.work[i])) return false;
    }
    return true;
}

struct ClockFields {
    int hour = 0;
    int minutes = 0;
    int seconds = 0;
};

// One or two hour digits, two of minutes and, with a second colon, two of
// seconds, each within its range; 24 only as 24:00:00.
bool readClockFields(const TimeText& t, int clock, ClockFields& f) {
    const int hourDigits = t.minutesAt - 1;
    if (hourDigits < 1 || hourDigits > 2 || hourDigits > t.len) return false;
    readDigits(t.work, hourDigits, f.hour);
    if (clock == ldtClock12 ? (f.hour < 1 || f.hour > 12) : f.hour > 24) return false;

    const int minutesEnd = t.secondsAt != 0 ? t.secondsAt - 1 : t.len;  // 1-based position of the last minute digit
    if (minutesEnd - t.minutesAt + 1 != 2 || minutesEnd > t.len) return false;
    readDigits(t.work + t.minutesAt - 1, 2, f.minutes);
    if (f.minutes > 59) return false;
    if (t.secondsAt != 0) {
        if (t.len - t.secondsAt + 1 != 2) return false;
        readDigits(t.work + t.secondsAt - 1, 2, f.seconds);
        if (f.seconds > 59) return false;
    }
    return f.hour != 24 || (f.minutes == 0 && f.seconds == 0);
}

// The hours that the 12-hour clock's suffix adds; midnight ("M") and noon
// ("N") are 12:00 and nothing else.
bool suffixOffset(char suffix, const ClockFields& f, int& offset) {
    offset = 0;
    switch (suffix) {
    case 'A': offset = f.hour == 12 ? -12 : 0; break;
    case 'P': offset = f.hour == 12 ? 0 : 12; break;
    case 'M':
        if (f.hour != 12 || f.minutes != 0) return false;
        offset = -12;
        break;
    case 'N':
        if (f.hour != 12 || f.minutes != 0) return false;
        break;
    default: break;
    }
    return true;
}

}  // namespace

int ldtCheckDateFormat(int format) {
    if (format < 1 || format > 432) return ldtErrFormatCode;
    const int digits[3] = {format / 100, format / 10 % 10, format % 10};
    if (digits[2] == 0) return ldtErrFormatCode;
    if (digits[0] != 0 && digits[1] == 0) return ldtErrFormatCode;
    bool used[3] = {false, false, false};
    for (int digit : digits) {
        if (digit == 0) continue;
        if (digit > 4) return ldtErrFormatCode;
        const FieldClass field = inputFieldClass(digit);
        if (used[field]) return ldtErrFormatCode;
        used[field] = true;
    }
    return ldtOk;
}

int ldtParseDate(const char* text, int length, LdtDate& date, int kind, int format, int required) {
    if (length < 1 || length > dateCopyLength || kind != ldtKindDate) return ldtErrDateArgument;
    if (ldtCheckDateFormat(format) != ldtOk) return ldtErrFormatCode;
    const int digits[3] = {format / 100, format / 10 % 10, format % 10};
    // Only a two-digit year needs the clock.
    int century = 0;
    if (digits[0] == 1 || digits[1] == 1 || digits[2] == 1) {
        int todayYear, todayMonth, todayDay;
        ldtToday(todayYear, todayMonth, todayDay);
        century = todayYear / 100 * 100;
    }
    int year = 0, month = 0, day = 0;
    date = 101;
    if (required != 0 && required != 1) return ldtErrDateArgument;

    char copy[dateCopyLength + 1];
    const std::size_t size = text ? strnlen(text, static_cast<std::size_t>(length)) : 0;
    if (size == 0) return ldtErrDateEmpty;
    std::memcpy(copy, text, size);
    copy[size] = '\0';
    ldtTrim(3, copy, ' ');
    if (copy[0] == '\0') return ldtErrDateEmpty;

    char* rest = copy;
    if (isLetter(*rest)) {
        if (!skipWeekday(rest) || *rest == '\0') return ldtErrNotADate;
    }
    if (!replaceComma(rest)) return ldtErrNotADate;
    skipBlanks(rest);
    if (*rest == '\0') return ldtErrNotADate;
    if (!replaceSeparators(rest)) return ldtErrNotADate;
    skipBlanks(rest);
    if (*rest == '\0') return ldtErrNotADate;

    for (int digit : digits) {
        if (digit == 0) continue;
        if (*rest == '\0') return ldtErrNotADate;
        bool read = false;
        switch (digit) {
        case 1: read = readTwoDigitYear(rest, century, year); break;
        case 2:
            read = isLetter(*rest) ? readMonthName(rest, month) : readDayOrMonthNumber(rest, month);
            break;
        case 3: read = readDayOrMonthNumber(rest, day); break;
        case 4: read = readFourDigitYear(rest, year); break;
        }
        if (!read) return ldtErrNotADate;
        skipBlanks(rest);
    }
    if (*rest != '\0') {
        if (!skipWeekday(rest) || *rest != '\0') return ldtErrNotADate;
    }

    if (year < 0 || year > 9999 || month < 1 || month > 12) return ldtErrNotADate;
    if (day < 1 || day > ldtDaysInMonth(year, month)) return ldtErrNotADate;
    date = ldtCompose(year, month, day);
    return ldtOk;
}

int ldtParseDate(std::string_view text, LdtDate& date, int kind, int format, int required) {
    const int length =
        text.size() > dateCopyLength ? dateCopyLength + 1 : static_cast<int>(text.size());
    return ldtParseDate(text.data(), length, date, kind, format, required);
}

int ldtParseTime(const char* text, int length, LdtTime& time, int kind, int clock, int required) {
    if (length < 1 || length > 9 || kind != ldtKindTime) return ldtErrTimeArgument;
    if (clock != ldtClock12 && clock != ldtClock24) return ldtErrFormatCode;
    time = 0;
    if (required != 0 && required != 1) return ldtErrTimeArgument;
    if (!text) text = "";
    if (required == 1 && text[0] == '\0') return ldtErrTimeEmpty;

    TimeText t;
    const int copied = copyTrimmed(text, required == 1, t);
    if (copied != ldtOk) return copied;
    ClockFields fields;
    int offset = 0;
    if (!splitAtColons(t) || !takeSuffix(t, clock) || !onlyDigits(t) || !readClockFields(t, clock, fields) ||
        !suffixOffset(t.suffix, fields, offset))
        return ldtErrNotATime;
    time = ((fields.hour + offset) * 60 + fields.minutes) * 60 + fields.seconds;
    return ldtOk;
}
