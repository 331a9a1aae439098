// The message header reader: one .msg file in, one IndexEntry out.
#pragma once

#include "index_entry.h"
#include "platform.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// A message file's times as the directory search reported them.
struct MessageFileTimes {
    std::time_t changeTime;
    std::time_t modifyTime;
    std::time_t accessTime;
};

// Reads the header of dir + fileName (dir ends in "/") up to the first
// empty line; the body is never read. The entry has value1 and value2 1,
// date and time rewritten to universal time ("1998-07-14  ", "15:39:10"),
// subject, recipient and sender from the To:, From: and Subject: headers
// ("(null)" for a header that is missing), sizeText from `size`, fileName
// dir + fileName, and the file's times; its texts are kept for the whole
// run (keepString), `selected` and `indexed` are null.
//
// No entry, and no message, when the name does not end in ".msg" (any
// case) or the file cannot be opened. When `times` is null the file's
// status is asked for, and a failure there is fatal (3037); the scan hands
// in what its directory search already knows. An undecodable date or time
// prints a console line (3124, 3154) and the entry is still returned.
// Counts filesRead, linesRead and, in verbose mode, messageDots.
std::optional<IndexEntry> readFileContents(const char* dir, const char* fileName, std::uint64_t size,
                                           const MessageFileTimes* times = nullptr);

// Splits a "Date:" value into its date, time and zone texts:
// "Tue, 14 Jul 1998 11:39:10 -0400 (EDT)" gives "Tue, 14 Jul 1998",
// "11:39:10" and "-0400". Without a colon the time is "00:01".
void splitDateHeader(std::string_view value, std::string& date, std::string& time, std::string& zone);

// Splits a "To:" or "From:" value into display name and address. A quoted
// part is the name; the address is the run around the first "@", or the
// whole value when there is none; an empty name becomes the address. A
// quote without its closing quote is taken as an ordinary character.
void parseAddress(std::string_view value, std::string& name, std::string& address);

// The date and time of a "Date:" value in universal time, as they go into
// the entry. `modifyTime` supplies the year when the value has none.
void convertDateHeader(std::string_view value, std::time_t modifyTime, std::string& date, std::string& time);

// For the scan: an entry's texts before they are kept, so that a message
// the filters drop leaves nothing on the heap.
struct MessageTexts {
    std::string date, time, subject, recipientAddress, recipientName, senderAddress, senderName;
    std::string sizeText, fileName;
    MessageFileTimes times{};
    // An entry whose texts point into this record (valid while it lives).
    IndexEntry view();
    // An entry with its own copies of the texts, kept for the whole run.
    IndexEntry keep() const;
};
// readFileContents as the scan calls it: the texts in `out` (no copies
// kept), false where it gives no entry. `readAhead`, when given, is the
// file's start as the reading threads read it; otherwise the file is
// opened here.
bool readFileContents(const char* dir, const char* fileName, std::uint64_t size, const MessageFileTimes* times,
                      MessageTexts& out, platform::FileStart* readAhead = nullptr);

// The names readFileContents takes for messages: ending in ".msg", any case.
bool isMessageFileName(std::string_view name);

// When these first bytes of a message hold the empty line that ends its
// header, the count of bytes up to and including that line's end: the
// header reader wants nothing beyond them. Otherwise 0.
std::size_t headerEndsWithin(const char* bytes, std::size_t size);
