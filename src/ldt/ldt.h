// ldt: the archiver's own date and time library.
//
// Dates are plain integers yyyymmdd (`LdtDate`), times are seconds since
// midnight (`LdtTime`, 0..86400, where 86400 is 24:00:00). Day numbers
// (Julian Day Numbers, proleptic Gregorian) exist only to add or subtract
// days:
//
//     LdtDate yesterday = ldtDayNumberToDate(ldtDateToDayNumber(d) - 1);
//
// The library knows nothing of mail, files or settings. It never prints and
// never fails loudly: every operation that can fail returns 0 or one of the
// result codes below, and the caller decides what to say. The numbers are
// part of the interface (callers print them), so never renumber them.
//
// Operating system: the only outside call is the clock in ldtToday (used by
// ldtParseDate for the century of two-digit years). It goes through the
// standard library's std::time and std::localtime only, which is standard
// C++ rather than an OS interface, so ldt links nothing but the standard
// library. std::localtime's shared result is copied out under a lock.
//
// Threads: single-threaded use only. ldtMonthAbbrev and ldtWeekdayAbbrev
// return library buffers that the next call overwrites.
//
// Texts are single-byte and zero-terminated; a blank is the space
// character; letters and digits are ASCII ('A'..'Z', 'a'..'z', '0'..'9')
// whatever the locale, and case is folded by upper-casing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

using LdtDate = std::int32_t;  // year * 10000 + month * 100 + day
using LdtTime = std::int32_t;  // seconds since midnight, 0..86400

// ---- result codes ------------------------------------------------------------

enum : int {
    ldtOk = 0,
    ldtErrCharPosition = 1007,    // ldtInsertChar, ldtDeleteChar: position or capacity
    ldtErrPadArgument = 1017,     // ldtPad: mode not 1..3 or size below 1
    ldtErrNotADate = 1021,        // ldtParseDate: text is not a date in that format
    ldtErrDateArgument = 1022,    // ldtParseDate: length not 1..30, kind not 4, flag not 0/1
    ldtErrDateEmpty = 1023,       // ldtParseDate: text empty or blank
    ldtErrFormatDate = 1026,      // ldtFormatDate: argument error, or result does not fit
    ldtErrFormatCode = 1044,      // invalid format code, clock code or time style
    ldtErrNotATime = 1071,        // ldtParseTime: text is not a time on that clock
    ldtErrTimeArgument = 1072,    // ldtParseTime: length not 1..9, kind not 2, flag not 0/1
    ldtErrTimeEmpty = 1073,       // ldtParseTime: empty or blank while required
    ldtErrFormatTime = 1076,      // ldtFormatTime: argument error, range, or does not fit
};

// The kind argument of the parse and format operations: anything else is
// an argument error of that operation.
enum : int { ldtKindDate = 4, ldtKindTime = 2 };

// Clock codes of ldtParseTime.
enum : int { ldtClock12 = 0, ldtClock24 = 1 };

// Styles of ldtFormatTime.
enum : int {
    ldtStyle12HourMinutes = 0,   // "hh:mmX"
    ldtStyle24HourMinutes = 1,   // "hh:mm"
    ldtStyle12HourSeconds = 2,   // "hh:mm:ssX"
    ldtStyle24HourSeconds = 3,   // "hh:mm:ss"
};

// Justification modes of ldtJustify and the formatters.
enum : int { ldtJustifyNone = 0, ldtJustifyLeft = 1, ldtJustifyCentre = 2, ldtJustifyRight = 3 };

// ---- calendar values and arithmetic --------------------------------------------
//
// None of these validates its input; they are exact for the dates of the
// years 1 to 9999 (ldtWeekday: 1 to 4599 by its own formula; outside that
// range it still returns 0..6). Arithmetic is done in 64 bits, so no input
// is undefined behaviour.

LdtDate ldtCompose(int year, int month, int day);
void ldtSplit(LdtDate value, int& year, int& month, int& day);

// 1 January 1970 is 2440588. A year of 0 or less is taken as year 1.
int ldtDayNumber(int year, int month, int day);
void ldtFromDayNumber(int dayNumber, int& year, int& month, int& day);
int ldtDateToDayNumber(LdtDate value);
LdtDate ldtDayNumberToDate(int dayNumber);

// Widens a two-digit year by a fixed window: 80..99 become 1980..1999,
// 0..79 become 2000..2079 (so a date without a year lands in 2000). A year
// of 100 or more is returned unchanged. Unlike ldtParseDate this does not
// look at the clock.
LdtDate ldtExpandYear(LdtDate value);

int ldtIsLeapYear(int year);               // 1 or 0; year 0 is a leap year
int ldtDaysInMonth(int year, int month);   // 28..31, 0 for a month outside 1..12
int ldtWeekday(int year, int month, int day);  // 0 = Sunday .. 6 = Saturday

// The local calendar date now: four-digit year, month 1..12, day 1..31.
// Should the clock ever fail, all three are 0.
void ldtToday(int& year, int& month, int& day);

// ---- names ------------------------------------------------------------------------
//
// Out-of-range arguments give "Illegal" (abbreviation "ILL"). The
// abbreviations are the first three letters upper-cased ("JAN", "SUN"),
// in a library buffer that the next call of the same function overwrites.

const char* ldtMonthName(int month);
const char* ldtMonthAbbrev(int month);
const char* ldtWeekdayName(int weekday);
const char* ldtWeekdayAbbrev(int weekday);

// ---- text utilities -------------------------------------------------------------
//
// In place on zero-terminated texts; positions are 1-based. A null text is
// treated as an error (where there is a result) or left alone.

// 0 on a match, otherwise (name character - text character) at the first
// mismatch. Mode 1: equal; 2: equal ignoring case; 3: text begins with the
// whole name; 4: the same ignoring case. Other modes are taken as 1.
int ldtCompare(int mode, const char* text, const char* name);

// Inserts `character` so that it stands at `position` (0 appends), moving
// the rest and the terminator one place right. `capacity` is the size of
// the buffer in bytes, terminator included (pass sizeof). 1007 when the
// longer text and its terminator would not fit, when no terminator lies
// within the capacity, or when the position is outside 1..length + 1.
int ldtInsertChar(char* buffer, std::size_t capacity, char character, int position);

// Removes the character at `position` (0: the last one). 1007 for an empty
// text or a position outside 1..length.
int ldtDeleteChar(char* text, int position);

// Position of the first (last = 0) or the last (last = 1) occurrence, or 0
// when absent. Other flags are taken as 0. The terminator is never found.
int ldtFindChar(const char* text, char character, int last);

// Removes a run of `character` from the left (mode 1), the right (2) or
// both ends (3); other modes do nothing.
void ldtTrim(int mode, char* text, char character);

// `size` is the size of the buffer in bytes; nothing at or beyond index
// size - 1 is written except the terminator of mode 1.
// Mode 1: the buffer becomes size - 1 blanks. Mode 2: when the text is
// shorter than size - 1, the bytes after its terminator up to (not
// including) index size - 1 become blanks; the text is unchanged. Mode 3:
// blanks are appended until the text has size - 1 characters. 1017 for a
// mode outside 1..3 or a size below 1.
int ldtPad(int mode, char* buffer, int size);

// Moves blanks while keeping the length. Mode 1 (left): the leading blanks
// go to the end. Mode 2 (centre): right-justify, then of the n leading
// blanks n / 2 stay in front and the rest go to the end. Mode 3 (right):
// the trailing blanks go to the front. Mode 0 and other modes do nothing;
// a text of blanks only is left alone.
void ldtJustify(int mode, char* text);

// ---- parsing --------------------------------------------------------------------
//
// Input date format code: one to three digits read left to right, each
// naming the next field of the text: 1 two-digit year (today's century),
// 2 month (number or name), 3 day, 4 four-digit year. Valid codes lie in
// 1..432 with digits 1..4, a units digit that is not 0, no 0 between two
// fields, and no field twice (1 and 4 are both the year). A valid code
// without a month or a day never yields a date; one without a year yields
// a date below 10000 (year 0), to which the caller adds a year.
//
// Callers that accept several layouts call ldtParseDate once per code in a
// fixed order and keep the first result 0; for example, for dates typed by
// the user: 423, 234, 231, 23, 324, 321, 32, 123, and for message "Date:"
// headers: 324, 234, 231, 23, 321, 32, 423, 123. Always pass kind 4 and
// required 1.
//
// ldtParseDate reads the first `length` bytes of `text` (stopping early at
// a terminator; it never reads beyond them), so an empty text passed with
// its length 0 is an argument error (1022). Result:
//   1022  length not 1..30 or kind not 4: `date` untouched;
//   1044  invalid format code: `date` untouched;
//   otherwise `date` is set to 101 before the text is looked at, and
//   1022  required flag not 0 or 1,
//   1023  the text is empty or blank,
//   1021  the text is not a date in that format (or not a valid date),
//   0     `date` holds the date.
// The text may begin with a weekday name ("Tue", "Tuesday") and may end
// with one; it may hold one comma and one kind of separator ('-', '.' or
// '/'); a numeric month or day is one or two digits before a blank, or
// else exactly two digits; a month may be a name or its abbreviation.
int ldtParseDate(const char* text, int length, LdtDate& date, int kind, int format, int required);
// The same for a text of any size: more than 30 characters give 1022.
int ldtParseDate(std::string_view text, LdtDate& date, int kind, int format, int required);

// 0 for a valid input date format code, else 1044.
int ldtCheckDateFormat(int format);

// ldtParseTime reads "h:mm", "hh:mm", "hh:mm:ss" or "hhmm" (blanks around
// it are ignored); on the 12-hour clock (clock 0) a suffix follows: 'A',
// 'P', "AM", "PM" (also after blanks), 'M' for midnight or 'N' for noon,
// the last two only as 12:00. The 24-hour clock (clock 1) takes hours
// 0..24, 24 only as 24:00:00. `length` is checked (1..9; callers pass 9)
// but does not limit the text, which is read up to its terminator; a text
// whose trimmed form is longer than 15 characters is not a time (1071).
// Result:
//   1072  length not 1..9 or kind not 2: `time` untouched;
//   1044  clock not 0 or 1: `time` untouched;
//   otherwise `time` is set to 0 before the text is looked at, and
//   1072  required flag not 0 or 1,
//   1073  the text is empty or blank and required is 1 (with required 0
//         such a text gives 1071),
//   1071  the text is not a time on that clock,
//   0     `time` holds the seconds since midnight.
// A null `text` is taken as the empty text.
int ldtParseTime(const char* text, int length, LdtTime& time, int kind, int clock, int required);

// ---- formatting -------------------------------------------------------------------
//
// Output date format code: two to four digits. Thousands, hundreds and tens
// digits name the fields in order (a leading 0 means no field there): 1 year
// (two digits), 2 month (two digits), 3 day (two digits), 4 year (four
// digits), 5 month abbreviation ("JUL"), 6 month name, 7 day with the
// weekday abbreviation in front of the text, 8 day with the weekday name in
// front. The units digit is the separator: 0 none, 1 blank, 2 '-', 3 '/',
// 4 '.'. With a month in letters first, a day second and blank separators,
// a comma follows the day ("July 14, 1998"). Valid codes lie in 10..8644,
// the tens digit is 1..8, a thousands digit needs a hundreds digit, and no
// two fields name the year, the month or the day twice.
//
// On success `buffer` holds exactly `width` characters (the text padded
// with blanks and placed by the justification mode) and a terminator, so
// `bufferSize` (pass sizeof) must be at least width + 1.
//
// ldtFormatDate result:
//   1026  width not 1..30, buffer too small or kind not 4: buffer untouched;
//   1044  invalid format code: buffer untouched;
//   otherwise the buffer is emptied first, and
//   1026  justification not 0..3, or the text is longer than width,
//   0     success.
// The date is not validated: out-of-range parts print as they are.
int ldtFormatDate(char* buffer, std::size_t bufferSize, int width, LdtDate date, int kind,
                  int format, int justify);

// 0 for a valid output date format code, else 1044.
int ldtCheckOutputFormat(int format);

// ldtFormatTime writes "hh:mm" or "hh:mm:ss", on the 12-hour styles with
// a suffix letter: 'A' before noon, 'P' after, 'N' at 12:00 (noon), 'M' at
// 0:00 and 24:00 (midnight), each as the parser reads it back.
// Result:
//   1076  time outside 0..86400, kind not 2, width not 1..9 or buffer too
//         small: buffer untouched;
//   otherwise the buffer is emptied first, and
//   1044  style not 0..3,
//   1076  justification not 0..3, or the text is longer than width,
//   0     success.
int ldtFormatTime(char* buffer, std::size_t bufferSize, int width, LdtTime time, int kind,
                  int style, int justify);
