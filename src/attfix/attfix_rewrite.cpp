#include "attfix_rewrite.h"

#include <cctype>

namespace attfix {

const char* const kTemporaryName = "msg.$$$";

namespace {

struct AttachmentRule {
    const char* prefix;   // the line must begin with this
    const char* marker;   // must occur somewhere in the line; nullptr: no marker
    const char* keyword;  // introduces the file name
};

// Order matters: the first rule whose prefix fits is the only one tried.
const AttachmentRule kRules[] = {
    {"Content-Disposition:", "attachment;", "filename=\""},
    {"Content-Type", "Application/Octet-stream;", "name="},
    {"section", nullptr, "file "},
};

unsigned char upper(char c) {
    return static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
}

bool startsWithNoCase(const std::string& line, const std::string& prefix) {
    if (line.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (upper(line[i]) != upper(prefix[i])) return false;
    return true;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::size_t findNoCase(const std::string& line, const std::string& needle, std::size_t from) {
    if (from > line.size() || line.size() - from < needle.size()) return std::string::npos;
    for (std::size_t start = from; start + needle.size() <= line.size(); ++start) {
        std::size_t i = 0;
        while (i < needle.size() && upper(line[start + i]) == upper(needle[i])) ++i;
        if (i == needle.size()) return start;
    }
    return std::string::npos;
}

bool fixAttachmentLine(std::string& line) {
    for (const AttachmentRule& rule : kRules) {
        if (!startsWithNoCase(line, rule.prefix)) continue;
        if (rule.marker && findNoCase(line, rule.marker) == std::string::npos) return false;
        std::size_t keyword = findNoCase(line, rule.keyword);
        if (keyword == std::string::npos) return false;
        std::size_t colon = line.find(':', keyword);
        if (colon == std::string::npos) return false;
        // The keyword never begins with a colon, so the colon lies past it and
        // the drive letter before the colon is still inside the line.
        std::size_t drive = colon - 1;
        std::size_t lastSeparator = std::string::npos;
        for (std::size_t i = line.size(); i > drive; --i) {
            if (isSeparator(line[i - 1])) {
                lastSeparator = i - 1;
                break;
            }
        }
        if (lastSeparator == std::string::npos) return false;
        line.erase(drive, lastSeparator + 1 - drive);
        return true;
    }
    return false;
}

bool temporaryPathFor(const std::string& inputPath, std::string& temporaryPath) {
    std::size_t cut = inputPath.find_last_of("\\/");
    if (cut == std::string::npos) return false;
    temporaryPath = inputPath.substr(0, cut + 1) + kTemporaryName;
    return true;
}

}  // namespace attfix
