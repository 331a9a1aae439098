#include "header_reader.h"

#include "diagnostics.h"
#include "ldt.h"
#include "platform.h"
#include "settings.h"
#include "util.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t lineLimit = 1023;  // characters of one physical or logical header line

const char* const missingText = "(null)";

// Physical lines of a message header, read in pieces of at most 1023
// characters, each stripped of its trailing carriage returns and line feeds.
class HeaderLines {
public:
    explicit HeaderLines(std::FILE* file) : bytes_(file) {}

    // False at end of file, when `line` is left as it was.
    bool read(std::string& line) {
        for (;;) {
            char piece[lineLimit];
            const std::size_t length = bytes_.getLine(piece, lineLimit);
            if (length == 0) return false;
            const bool sawLineFeed = piece[length - 1] == '\n';
            bool cutAtLimit = previousCut_;
            previousCut_ = !sawLineFeed && length == lineLimit;
            std::string_view text(piece, length);
            // A line that filled the limit exactly leaves only its line end
            // for the next read; that is not an empty line ending the header.
            if (cutAtLimit && sawLineFeed && text.find_first_not_of("\r\n") == std::string_view::npos) continue;
            text = text.substr(0, text.find('\0'));  // a zero byte ends the text, as for any C string
            while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
            line.assign(text);
            return true;
        }
    }

private:
    ByteReader bytes_;
    bool previousCut_ = false;
};

void trimTrailingSpace(std::string& text) {
    while (!text.empty() && isTrimSpace(text.back())) text.pop_back();
}

void trimLeadingSpace(std::string& text) {
    std::size_t n = 0;
    while (n < text.size() && isTrimSpace(text[n])) ++n;
    text.erase(0, n);
}

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

bool isMessageFileName(std::string_view name) {
    return name.size() >= 4 && equalNoCase(name.substr(name.size() - 4), ".msg");
}

void readHeader(std::FILE* file, std::time_t modifyTime, MessageTexts& out) {
    HeaderLines lines(file);
    std::string current, next;
    bool atEnd = !lines.read(next);
    for (;;) {
        current.swap(next);
        if (!lines.read(next)) atEnd = true;
        while (!current.empty() && !atEnd && !next.empty() && (next[0] == ' ' || next[0] == '\t') &&
               current.size() + next.size() + 1 < lineLimit + 1) {
            current += next;
            if (!lines.read(next)) atEnd = true;
        }
        if (current.empty()) break;
        trimTrailingSpace(current);
        ++linesRead;

        std::string_view line(current);
        std::size_t colon = line.find(':');
        std::string_view value = colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
        if (prefixNoCase(line, "To:")) {
            parseAddress(value, out.recipientName, out.recipientAddress);
        } else if (prefixNoCase(line, "From:")) {
            parseAddress(value, out.senderName, out.senderAddress);
        } else if (prefixNoCase(line, "Date:")) {
            convertDateHeader(value, modifyTime, out.date, out.time);
        } else if (prefixNoCase(line, "Subject:")) {
            out.subject = std::string(value);
            trimLeadingSpace(out.subject);
        }
        if (atEnd || next.empty()) break;
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

void splitDateHeader(std::string_view value, std::string& date, std::string& time, std::string& zone) {
    std::string text(value);
    trimLeadingSpace(text);
    trimTrailingSpace(text);
    zone.clear();
    std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        date = text;
        time = "00:01";
        return;
    }
    std::size_t blank = text.rfind(' ', colon);
    std::size_t start = blank == std::string::npos ? 0 : blank + 1;
    time = text.substr(start);
    date = text.substr(0, start);
    trimTrailingSpace(date);
    std::size_t timeBlank = time.find(' ');
    if (timeBlank != std::string::npos) {
        zone = time.substr(timeBlank + 1);
        trimLeadingSpace(zone);
        zone = zone.substr(0, zone.find(' '));
        time.erase(timeBlank);
    }
    if (!time.empty() && time.back() == ',') time.pop_back();
}

void parseAddress(std::string_view value, std::string& name, std::string& address) {
    std::string text(value);
    name.clear();
    address.clear();
    std::size_t open = text.find('"');
    std::size_t close = open == std::string::npos ? std::string::npos : text.find('"', open + 1);
    if (close != std::string::npos) {
        name = text.substr(open + 1, close - open - 1);
        text.replace(open, close - open + 1, close - open + 1, ' ');
    }
    std::size_t at = text.find('@');
    if (at != std::string::npos) {
        std::size_t before = at == 0 ? std::string::npos : text.find_last_of(" <", at - 1);
        std::size_t start = before == std::string::npos ? 0 : before + 1;
        std::size_t end = text.find_first_of(" >\r\n", at);
        if (end == std::string::npos) end = text.size();
        address = text.substr(start, end - start);
    } else {
        address = text;
        trimLeadingSpace(address);
    }
    if (name.empty()) name = address;
}

void convertDateHeader(std::string_view value, std::time_t modifyTime, std::string& date, std::string& time) {
    std::string dateText, timeText, zone;
    splitDateHeader(value, dateText, timeText, zone);

    LdtDate day = 101;
    bool parsed = false;
    for (int code : {324, 234, 231, 23, 321, 32, 423, 123}) {
        LdtDate candidate = 0;
        if (ldtParseDate(dateText, candidate, ldtKindDate, code, 1) == 0) {
            day = candidate;
            parsed = true;
            break;
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

bool readMessageTexts(const char* dir, const char* fileName, std::uint64_t size, const MessageFileTimes* times,
                      MessageTexts& out) {
    if (!fileName || !isMessageFileName(fileName)) return false;
    if (settings.verbose) countMessageDot();
    std::string path = std::string(dir ? dir : "") + fileName;
    if (times) {
        out.times = *times;
    } else {
        platform::FileStatus status;
        if (!platform::fileStatus(path, status))
            fatalError(3037, "In readFileContents, stat failed for file %s", path.c_str());
        out.times = {status.changeTime, status.modifyTime, status.accessTime};
    }
    std::FILE* file = platform::openFile(path, "r");
    if (!file) return false;
    ++filesRead;
    for (std::string* text : {&out.date, &out.time, &out.subject, &out.recipientAddress, &out.recipientName,
                              &out.senderAddress, &out.senderName})
        *text = missingText;
    readHeader(file, out.times.modifyTime, out);
    std::fclose(file);
    out.sizeText = std::to_string((size + 1023) / 1024) + "K";
    out.fileName = std::move(path);
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
    if (!readMessageTexts(dir, fileName, size, times, texts)) return std::nullopt;
    return texts.keep();
}
