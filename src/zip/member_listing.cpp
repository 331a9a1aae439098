// The table of `unzip -v`:
//
//  Length   Method    Size  Cmpr    Date    Time   CRC-32   Name
// --------  ------  ------- ---- ---------- ----- --------  ----
//     1024  Defl:X      589  43% 2026-12-08 12:08 23e4b852  club4.act/acct.ini
// --------          -------  ---                            -------
//     1024              589  43%                            1 file
//
// The columns widen for large numbers, so the fields are taken by blanks;
// the name is everything after the two blanks that follow the CRC-32.
#include "zip.h"

#include <cstring>

namespace {

const char* const tableHead = " Length   Method    Size  Cmpr    Date    Time   CRC-32   Name";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The next field of `line` from `at` on, skipping blanks before it.
bool nextField(const std::string& line, std::size_t& at, std::string& field) {
    while (at < line.size() && line[at] == ' ') ++at;
    std::size_t end = at;
    while (end < line.size() && line[end] != ' ') ++end;
    if (end == at) return false;
    field.assign(line, at, end - at);
    at = end;
    return true;
}

bool readCount(const std::string& field, std::int64_t& value) {
    if (field.empty() || field.size() > 18) return false;
    value = 0;
    for (char c : field) {
        if (!isDigit(c)) return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool readMemberLine(const std::string& line, ArchiveMember& member) {
    std::size_t at = 0;
    std::string length, method, size, ratio, date, time, crc;
    if (!nextField(line, at, length) || !nextField(line, at, method) || !nextField(line, at, size) ||
        !nextField(line, at, ratio) || !nextField(line, at, date) || !nextField(line, at, time) ||
        !nextField(line, at, crc))
        return false;
    if (!readCount(length, member.size) || !readCount(size, member.compressedSize)) return false;
    if (ratio.back() != '%' || crc.size() != 8) return false;
    std::uint32_t value = 0;
    for (char c : crc) {
        const int digit = hexValue(c);
        if (digit < 0) return false;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    member.crc = value;
    if (line.compare(at, 2, "  ") != 0 || line.size() <= at + 2) return false;
    member.name.assign(line, at + 2, std::string::npos);
    return true;
}

// "12 files" or "1 file" at the foot of the table.
bool readFootCount(const std::string& line, std::int64_t& count) {
    std::size_t at = 0;
    std::string field, previous;
    while (nextField(line, at, field)) {
        if ((field == "files" || field == "file") && at == line.size()) return readCount(previous, count);
        previous = field;
    }
    return false;
}

bool startsWithDashes(const std::string& line) { return line.compare(0, 8, "--------") == 0; }

}  // namespace

bool parseMemberListing(const std::string& text, std::vector<ArchiveMember>& members) {
    members.clear();
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines.emplace_back(text, at, end - at);
        at = end + 1;
    }
    // The last head of a table: an archive comment, printed before it,
    // may hold anything, a table's head included.
    std::size_t head = lines.size();
    for (std::size_t i = lines.size(); i-- > 0;) {
        if (lines[i] == tableHead) {
            head = i;
            break;
        }
    }
    if (head + 1 >= lines.size() || !startsWithDashes(lines[head + 1])) return false;
    std::size_t i = head + 2;
    for (; i < lines.size() && !startsWithDashes(lines[i]); ++i) {
        ArchiveMember member;
        if (!readMemberLine(lines[i], member)) {
            members.clear();
            return false;
        }
        members.push_back(std::move(member));
    }
    std::int64_t count = -1;
    if (i + 1 >= lines.size() || !readFootCount(lines[i + 1], count) ||
        count != static_cast<std::int64_t>(members.size())) {
        members.clear();
        return false;
    }
    return true;
}
