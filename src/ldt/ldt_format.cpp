// ldtFormatDate and ldtFormatTime.
#include "ldt.h"

#include "ldt_detail.h"

#include <cstring>

using ldt_detail::abbreviationOf;

namespace {

enum FieldClass { fieldNone, fieldYear, fieldMonth, fieldDay };

FieldClass outputFieldClass(int digit) {
    switch (digit) {
    case 1: case 4: return fieldYear;
    case 2: case 5: case 6: return fieldMonth;
    case 3: case 7: case 8: return fieldDay;
    default: return fieldNone;
    }
}

// A text under construction that never grows past its array; anything that
// would not fit is dropped and remembered, so the caller can refuse it.
class BoundedText {
public:
    void append(const char* piece) {
        for (; *piece != '\0'; ++piece) {
            if (length_ + 1 >= sizeof text_) {
                overflow_ = true;
                return;
            }
            text_[length_++] = *piece;
            text_[length_] = '\0';
        }
    }
    void append(char c) {
        const char piece[2] = {c, '\0'};
        append(piece);
    }
    // As "%0*d" writes it: zeros after any minus sign up to `digits`
    // characters. Written by hand because every scanned message formats a
    // date and a time, and the printf machinery costs far more than this.
    void appendNumber(int value, int digits) {
        const bool negative = value < 0;
        unsigned long magnitude = negative ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
        char reversed[16];
        int count = 0;
        do {
            reversed[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (negative) append('-');
        for (int width = count + (negative ? 1 : 0); width < digits; ++width) append('0');
        while (count > 0) append(reversed[--count]);
    }
    const char* text() const { return text_; }
    std::size_t length() const { return length_; }
    bool overflow() const { return overflow_; }

private:
    char text_[64] = {};
    std::size_t length_ = 0;
    bool overflow_ = false;
};

// Pads the text with blanks to `width` in the buffer (which the caller has
// checked holds width + 1 bytes) and places it. False when it is too long.
bool placeText(char* buffer, int width, const BoundedText& text, int justify) {
    const std::size_t size = static_cast<std::size_t>(width);
    if (text.overflow() || text.length() > size) return false;
    std::memcpy(buffer, text.text(), text.length());
    std::memset(buffer + text.length(), ' ', size - text.length());
    buffer[size] = '\0';
    ldtJustify(justify, buffer);
    return true;
}

}  // namespace

int ldtCheckOutputFormat(int format) {
    if (format < 10 || format > 8644) return ldtErrFormatCode;
    const int thousands = format / 1000;
    const int hundreds = format / 100 % 10;
    const int tens = format / 10 % 10;
    const int units = format % 10;
    if (thousands > 8 || hundreds > 8 || (thousands != 0 && hundreds == 0)) return ldtErrFormatCode;
    if (tens < 1 || tens > 8 || units > 4) return ldtErrFormatCode;
    bool used[4] = {false, false, false, false};
    for (int digit : {thousands, hundreds, tens}) {
        if (digit == 0) continue;
        const FieldClass field = outputFieldClass(digit);
        if (used[field]) return ldtErrFormatCode;
        used[field] = true;
    }
    return ldtOk;
}

int ldtFormatDate(char* buffer, std::size_t bufferSize, int width, LdtDate date, int kind,
                  int format, int justify) {
    if (!buffer || width < 1 || width > 30 || bufferSize < static_cast<std::size_t>(width) + 1 ||
        kind != ldtKindDate)
        return ldtErrFormatDate;
    if (ldtCheckOutputFormat(format) != ldtOk) return ldtErrFormatCode;
    buffer[0] = '\0';
    if (justify < 0 || justify > 3) return ldtErrFormatDate;

    int year, month, day;
    ldtSplit(date, year, month, day);
    const int fields[3] = {format / 1000, format / 100 % 10, format / 10 % 10};
    static constexpr char separators[5] = {'\0', ' ', '-', '/', '.'};
    const char separator = separators[format % 10];

    BoundedText text;
    auto appendSeparator = [&] {
        if (separator != '\0') text.append(separator);
    };
    char abbreviation[4];
    for (int field : fields) {
        if (field != 7 && field != 8) continue;
        const char* name = ldtWeekdayName(ldtWeekday(year, month, day));
        if (field == 7) {
            abbreviationOf(name, abbreviation);
            name = abbreviation;
        }
        text.append(name);
        appendSeparator();
    }
    for (int i = 0; i < 3; ++i) {
        switch (fields[i]) {
        case 0: continue;
        case 1: text.appendNumber(year % 100, 2); break;
        case 4: text.appendNumber(year, 4); break;
        case 2: text.appendNumber(month, 2); break;
        case 5:
            abbreviationOf(ldtMonthName(month), abbreviation);
            text.append(abbreviation);
            break;
        case 6: text.append(ldtMonthName(month)); break;
        default: text.appendNumber(day, 2); break;  // 3, 7, 8
        }
        if (i == 2) break;
        // "July 14, 1998": a day after a month in letters takes a comma.
        if (i == 1 && separator == ' ' && (fields[0] == 5 || fields[0] == 6) &&
            outputFieldClass(fields[1]) == fieldDay)
            text.append(',');
        appendSeparator();
    }
    return placeText(buffer, width, text, justify) ? ldtOk : ldtErrFormatDate;
}

int ldtFormatTime(char* buffer, std::size_t bufferSize, int width, LdtTime time, int kind,
                  int style, int justify) {
    if (!buffer || time < 0 || time > 86400 || kind != ldtKindTime || width < 1 || width > 9 ||
        bufferSize < static_cast<std::size_t>(width) + 1)
        return ldtErrFormatTime;
    buffer[0] = '\0';
    if (style < 0 || style > 3) return ldtErrFormatCode;
    if (justify < 0 || justify > 3) return ldtErrFormatTime;

    const int hours = time / 3600;
    const int minutes = time % 3600 / 60;
    const int seconds = time % 60;
    const bool twelveHour = style == ldtStyle12HourMinutes || style == ldtStyle12HourSeconds;
    int shown = hours;
    char suffix = '\0';
    if (twelveHour) {
        // The letters the parser reads back: M(idnight) and N(oon) only at
        // a full 12 o'clock.
        if (hours == 0 || hours == 24) {
            shown = 12;
            suffix = minutes == 0 ? 'M' : 'A';
        } else if (hours < 12) {
            suffix = 'A';
        } else if (hours == 12) {
            suffix = minutes == 0 ? 'N' : 'P';
        } else {
            shown = hours - 12;
            suffix = 'P';
        }
    }

    BoundedText text;
    text.appendNumber(shown, 2);
    text.append(':');
    text.appendNumber(minutes, 2);
    if (style == ldtStyle12HourSeconds || style == ldtStyle24HourSeconds) {
        text.append(':');
        text.appendNumber(seconds, 2);
    }
    if (suffix != '\0') text.append(suffix);
    return placeText(buffer, width, text, justify) ? ldtOk : ldtErrFormatTime;
}
