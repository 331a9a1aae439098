#include "filters.h"

#include "ldt.h"
#include "platform.h"
#include "settings.h"
#include "util.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

std::string_view textOf(const char* text) { return text ? std::string_view(text) : std::string_view(); }

// Prefix test over the shorter of the two lengths, ignoring case: a short
// subject matches a longer pattern, and the empty text matches every one.
bool shorterPrefixMatches(std::string_view pattern, std::string_view text) {
    std::size_t n = std::min(pattern.size(), text.size());
    return equalNoCase(pattern.substr(0, n), text.substr(0, n));
}

// The leading decimal number of a size text such as "12K".
long long leadingKilobytes(const char* text) {
    long long n = 0;
    for (const char* p = text ? text : ""; *p >= '0' && *p <= '9'; ++p) {
        n = n * 10 + (*p - '0');
        if (n > (1LL << 40)) break;
    }
    return n;
}

// The message's own "Date:" as a local calendar time, with daylight saving
// taken as off. A date without a year takes the year of the file's last
// modification.
std::time_t headerTime(const IndexEntry& entry) {
    LdtDate day = 101;
    std::string_view dateText = textOf(entry.date);
    for (int code : {423, 234, 231, 23, 324, 321, 32, 123}) {
        LdtDate candidate = 101;
        if (ldtParseDate(dateText, candidate, ldtKindDate, code, 1) == 0) {
            day = candidate;
            break;
        }
    }
    if (day < 10000) {
        std::tm modified{};
        if (platform::localTime(entry.modifyTime, modified)) day += (modified.tm_year + 1900) * 10000;
    }
    LdtTime seconds = 0;
    if (ldtParseTime(entry.time, 9, seconds, ldtKindTime, ldtClock24, 1) != 0) seconds = 0;

    int year = 0, month = 0, dayOfMonth = 0;
    ldtSplit(day, year, month, dayOfMonth);
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = dayOfMonth;
    fields.tm_isdst = 0;
    std::time_t midnight = std::mktime(&fields);
    return midnight + seconds;
}

std::time_t messageTime(const IndexEntry& entry) {
    if (settings.messageDateCutOff) return headerTime(entry);
    return std::min(entry.modifyTime, entry.changeTime);
}

}  // namespace

int messageSelected(const IndexEntry& entry, Selection selection) {
    const std::time_t t = messageTime(entry);
    if (selection == Selection::everything) return 1;

    int evaluated = 0;
    int matched = 0;
    // Counts one criterion; true when the answer is already known.
    auto judge = [&](bool matches) {
        ++evaluated;
        if (!matches) return false;
        ++matched;
        return !settings.allRequired;
    };

    if (settings.fileSize != 0 && judge(leadingKilobytes(entry.sizeText) >= settings.fileSize)) return 1;
    if (settings.fileAge && judge(t <= settings.ageCutOffTime)) return 1;
    if (settings.dateCutOff && judge(t <= settings.dateCutOffTime)) return 1;

    const std::string_view subject = textOf(entry.subject);
    auto prefixCriteria = [&](LL* list, std::string_view text) {
        if (!list) return false;
        for (void* e = FirstLL(list); SizeLL(e) != 0; e = NextLL(e))
            if (judge(shorterPrefixMatches(static_cast<const char*>(e), text))) return true;
        return false;
    };
    if (prefixCriteria(settings.beginSubject, subject)) return 1;
    if (settings.partialSubject) {
        for (void* e = FirstLL(settings.partialSubject); SizeLL(e) != 0; e = NextLL(e))
            if (judge(subject.find(static_cast<const char*>(e)) != std::string_view::npos)) return 1;
    }
    if (prefixCriteria(settings.fromAddress, textOf(entry.senderAddress))) return 1;
    if (prefixCriteria(settings.toAddress, textOf(entry.recipientAddress))) return 1;

    if (settings.allRequired) return matched == evaluated ? 1 : 0;
    return evaluated == 0 ? 1 : 0;
}
