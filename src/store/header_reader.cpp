#include "header_reader.h"

#include "diagnostics.h"
#include "ldt.h"
#include "platform.h"
#include "settings.h"
#include "util.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <unordered_map>

namespace {

constexpr std::size_t lineLimit = 1023;  // characters of one physical or logical header line

const char* const missingText = "(null)";

// Physical lines of a message header, read in pieces of at most 1023
// characters, each stripped of its trailing carriage returns and line feeds.
class HeaderLines {
public:
    explicit HeaderLines(platform::FileStart& start) : bytes_(start) {}

    // The next line, valid until the next read; false at end of file.
    bool read(std::string_view& line) {
        for (;;) {
            std::string_view text = bytes_.getLineView(scratch_, lineLimit);
            if (text.empty()) return false;
            const bool sawLineFeed = text.back() == '\n';
            bool cutAtLimit = previousCut_;
            previousCut_ = !sawLineFeed && text.size() == lineLimit;
            // A line that filled the limit exactly leaves only its line end
            // for the next read; that is not an empty line ending the header.
            if (cutAtLimit && sawLineFeed && text.find_first_not_of("\r\n") == std::string_view::npos) continue;
            text = text.substr(0, text.find('\0'));  // a zero byte ends the text, as for any C string
            while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
            line = text;
            return true;
        }
    }

private:
    ByteReader bytes_;
    bool previousCut_ = false;
    char scratch_[lineLimit];
};

void trimTrailingSpace(std::string& text) {
    while (!text.empty() && isTrimSpace(text.back())) text.pop_back();
}

std::string_view trimmedLeading(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && isTrimSpace(text[n])) ++n;
    return text.substr(n);
}

std::string_view trimmedTrailing(std::string_view text) {
    while (!text.empty() && isTrimSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view trimmedBoth(std::string_view text) { return trimmedTrailing(trimmedLeading(text)); }

int localYear(std::time_t t) {
    std::tm fields{};
    return platform::localTime(t, fields) ? fields.tm_year + 1900 : 0;
}

// The zone's offset in seconds: its leading number read as hhmm.
long zoneOffset(const std::string& zone) {
    std::size_t i = 0;
    while (i < zone.size() && std::strchr(" \t\n\v\f\r", zone[i])) ++i;
    bool negative = false;
    if (i < zone.size() && (zone[i] == '+' || zone[i] == '-')) negative = zone[i++] == '-';
    long n = 0;
    for (; i < zone.size() && zone[i] >= '0' && zone[i] <= '9'; ++i) {
        n = n * 10 + (zone[i] - '0');
        if (n > 10000000) return 0;  // far beyond a day either way
    }
    if (negative) n = -n;
    long offset = (n % 100 + (n / 100) * 60) * 60;
    return (offset < -86400 || offset > 86400) ? 0 : offset;
}

LdtDate addDays(LdtDate date, int days) { return ldtDayNumberToDate(ldtDateToDayNumber(date) + days); }

void countMessageDot() {
    if (++messageDots % 50 == 0) {
        std::fputc('.', stdout);
        std::fflush(stdout);
    }
}

enum class Field { other, to, from, date, subject };

// Continuation lines begin with a blank and the names hold none, so the
// first physical line of a header alone decides which one it is.
Field fieldOf(std::string_view line) {
    if (line.empty()) return Field::other;
    switch (line[0]) {
        case 'T': case 't': return prefixNoCase(line, "To:") ? Field::to : Field::other;
        case 'F': case 'f': return prefixNoCase(line, "From:") ? Field::from : Field::other;
        case 'D': case 'd': return prefixNoCase(line, "Date:") ? Field::date : Field::other;
        case 'S': case 's': return prefixNoCase(line, "Subject:") ? Field::subject : Field::other;
        default: return Field::other;
    }
}

bool continues(std::string_view line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

void readHeader(platform::FileStart& start, std::time_t modifyTime, MessageTexts& out) {
    HeaderLines lines(start);
    static std::string logical;  // a wanted header with its continuation lines
    std::string_view line;
    if (!lines.read(line)) return;
    for (;;) {
        if (line.empty()) break;
        // Only the wanted headers are put together; for the others their
        // length is enough to know where the next one begins.
        const Field field = fieldOf(line);
        std::size_t length = line.size();
        if (field != Field::other) logical.assign(line);
        std::string_view next;
        bool atEnd = !lines.read(next);
        while (!atEnd && continues(next) && length + next.size() + 1 < lineLimit + 1) {
            length += next.size();
            if (field != Field::other) logical += next;
            atEnd = !lines.read(next);
        }
        ++linesRead;
        if (field != Field::other) {
            trimTrailingSpace(logical);
            std::string_view text(logical);
            std::size_t colon = text.find(':');
            std::string_view value = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
            switch (field) {
                case Field::to: parseAddress(value, out.recipientName, out.recipientAddress); break;
                case Field::from: parseAddress(value, out.senderName, out.senderAddress); break;
                case Field::date: convertDateHeader(value, modifyTime, out.date, out.time); break;
                case Field::subject: {
                    std::size_t blanks = 0;
                    while (blanks < value.size() && isTrimSpace(value[blanks])) ++blanks;
                    out.subject.assign(value.substr(blanks));
                    break;
                }
                case Field::other: break;
            }
        }
        if (atEnd || next.empty()) break;
        line = next;
    }
}

char* keepText(const std::string& text) {
    try {
        return keepString(text);
    } catch (const std::bad_alloc&) {
        fatalError(3465, "Unable to allocate memory");
    }
}

}  // namespace

bool isMessageFileName(std::string_view name) {
    return name.size() >= 4 && equalNoCase(name.substr(name.size() - 4), ".msg");
}

// An empty line is carriage returns, if any, then a line feed or a zero
// byte, at the start of a line: the header reader takes it for the end. A
// line start is the first byte or one after a line feed, where a new
// piece of a line always begins.
std::size_t headerEndsWithin(const char* bytes, std::size_t size) {
    const char* end = bytes + size;
    for (const char* line = bytes; line < end;) {
        const char* p = line;
        while (p < end && *p == '\r') ++p;
        if (p < end && (*p == '\n' || *p == '\0')) return static_cast<std::size_t>(p + 1 - bytes);
        const void* lineFeed = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (!lineFeed) return 0;
        line = static_cast<const char*>(lineFeed) + 1;
    }
    return 0;
}

void splitDateHeader(std::string_view value, std::string& date, std::string& time, std::string& zone) {
    std::string_view text = trimmedBoth(value);
    zone.clear();
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        date.assign(text);
        time = "00:01";
        return;
    }
    std::size_t blank = text.rfind(' ', colon);
    std::size_t start = blank == std::string_view::npos ? 0 : blank + 1;
    std::string_view timeText = text.substr(start);
    std::string_view dateText = trimmedTrailing(text.substr(0, start));
    std::size_t timeBlank = timeText.find(' ');
    if (timeBlank != std::string_view::npos) {
        std::string_view zoneText = trimmedLeading(timeText.substr(timeBlank + 1));
        zone.assign(zoneText.substr(0, zoneText.find(' ')));
        timeText = timeText.substr(0, timeBlank);
    }
    if (!timeText.empty() && timeText.back() == ',') timeText.remove_suffix(1);
    date.assign(dateText);
    time.assign(timeText);
}

void parseAddress(std::string_view value, std::string& name, std::string& address) {
    static std::string text;  // keeps its room from call to call
    text.assign(value);
    name.clear();
    address.clear();
    std::size_t open = text.find('"');
    std::size_t close = open == std::string::npos ? std::string::npos : text.find('"', open + 1);
    if (close != std::string::npos) {
        name.assign(text, open + 1, close - open - 1);
        text.replace(open, close - open + 1, close - open + 1, ' ');
    }
    std::size_t at = text.find('@');
    if (at != std::string::npos) {
        // The run around the "@", from after a blank or "<" to a blank, ">" or line end.
        std::size_t start = at;
        while (start > 0 && text[start - 1] != ' ' && text[start - 1] != '<') --start;
        std::size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != '>' && text[end] != '\r' && text[end] != '\n')
            ++end;
        address.assign(text, start, end - start);
    } else {
        address.assign(trimmedLeading(text));
    }
    if (name.empty()) name = address;
}

void convertDateHeader(std::string_view value, std::time_t modifyTime, std::string& date, std::string& time) {
    static std::string dateText, timeText, zone;  // keep their room from call to call
    splitDateHeader(value, dateText, timeText, zone);

    // Messages of one day share their date text. The first two forms read
    // no clock (only a two-digit year does), so what they give is kept.
    static std::unordered_map<std::string, LdtDate> clockFreeDays;
    constexpr int codes[] = {324, 234, 231, 23, 321, 32, 423, 123};
    constexpr std::size_t clockFreeCodes = 2;
    LdtDate day = 101;
    bool parsed = false;
    if (auto known = clockFreeDays.find(dateText); known != clockFreeDays.end()) {
        day = known->second;
        parsed = true;
    }
    for (std::size_t i = 0; !parsed && i < std::size(codes); ++i) {
        LdtDate candidate = 0;
        if (ldtParseDate(dateText, candidate, ldtKindDate, codes[i], 1) == 0) {
            day = candidate;
            parsed = true;
            if (i < clockFreeCodes) {
                if (clockFreeDays.size() >= 8192) clockFreeDays.clear();
                clockFreeDays.emplace(dateText, day);
            }
        }
    }
    if (!parsed) consoleLinef("%d, Error [%d] converting date to string [%s]\n", 3124, 0, dateText.c_str());
    if (day < 10000) day += localYear(modifyTime) * 10000;
    day = ldtExpandYear(day);

    long offset = zone.empty() ? 0 : zoneOffset(zone);

    LdtTime seconds = 0;
    if (ldtParseTime(timeText.c_str(), 9, seconds, ldtKindTime, ldtClock24, 1) != 0 &&
        ldtParseTime(timeText.c_str(), 9, seconds, ldtKindTime, ldtClock12, 1) != 0) {
        consoleLinef("%d - Error decoding time: %s.", 3154, timeText.c_str());
        seconds = 0;
    }

    long universal = static_cast<long>(seconds) - offset;
    if (universal < 0) {
        day = addDays(day, -1);
        universal += 86400;
    }
    if (universal > 86400) {
        day = addDays(day, 1);
        universal -= 86400;
    }

    char dateBuffer[32] = "";
    ldtFormatDate(dateBuffer, sizeof dateBuffer, 12, day, ldtKindDate, 4232, ldtJustifyNone);
    char timeBuffer[16] = "";
    if (ldtFormatTime(timeBuffer, sizeof timeBuffer, 8, static_cast<LdtTime>(universal), ldtKindTime,
                      ldtStyle24HourSeconds, ldtJustifyRight) != 0)
        fatalError(3178, "Error encoding time: %s", std::to_string(universal).c_str());
    date = dateBuffer;
    time = timeBuffer;
}

bool readFileContents(const char* dir, const char* fileName, std::uint64_t size, const MessageFileTimes* times,
                      MessageTexts& out, platform::FileStart* readAhead) {
    if (!fileName || !isMessageFileName(fileName)) return false;
    if (settings.verbose) countMessageDot();
    // Built where it is kept: the texts keep their room from message to message.
    std::string& path = out.fileName;
    path.assign(dir ? dir : "");
    path += fileName;
    if (times) {
        out.times = *times;
    } else {
        platform::FileStatus status;
        if (!platform::fileStatus(path, status))
            fatalError(3037, "In readFileContents, stat failed for file %s", path.c_str());
        out.times = {status.changeTime, status.modifyTime, status.accessTime};
    }
    platform::FileStart opened;
    platform::FileStart* start = readAhead;
    if (!start) {
        if (!platform::openStart(path, opened, headerEndsWithin)) return false;
        start = &opened;
    }
    ++filesRead;
    for (std::string* text : {&out.date, &out.time, &out.subject, &out.recipientAddress, &out.recipientName,
                              &out.senderAddress, &out.senderName})
        *text = missingText;
    readHeader(*start, out.times.modifyTime, out);
    out.sizeText = std::to_string((size + 1023) / 1024);
    out.sizeText += 'K';
    return true;
}

IndexEntry MessageTexts::view() {
    IndexEntry entry{};
    entry.value1 = 1;
    entry.value2 = 1;
    entry.date = date.data();
    entry.time = time.data();
    entry.subject = subject.data();
    entry.recipientAddress = recipientAddress.data();
    entry.recipientName = recipientName.data();
    entry.senderAddress = senderAddress.data();
    entry.senderName = senderName.data();
    entry.sizeText = sizeText.data();
    entry.fileName = fileName.data();
    entry.changeTime = times.changeTime;
    entry.modifyTime = times.modifyTime;
    entry.accessTime = times.accessTime;
    return entry;
}

IndexEntry MessageTexts::keep() const {
    IndexEntry entry{};
    entry.value1 = 1;
    entry.value2 = 1;
    entry.date = keepText(date);
    entry.time = keepText(time);
    entry.subject = keepText(subject);
    entry.recipientAddress = keepText(recipientAddress);
    entry.recipientName = keepText(recipientName);
    entry.senderAddress = keepText(senderAddress);
    entry.senderName = keepText(senderName);
    entry.sizeText = keepText(sizeText);
    entry.fileName = keepText(fileName);
    entry.changeTime = times.changeTime;
    entry.modifyTime = times.modifyTime;
    entry.accessTime = times.accessTime;
    return entry;
}

std::optional<IndexEntry> readFileContents(const char* dir, const char* fileName, std::uint64_t size,
                                           const MessageFileTimes* times) {
    MessageTexts texts;
    if (!readFileContents(dir, fileName, size, times, texts)) return std::nullopt;
    return texts.keep();
}
