// The message header reader on a .msg file made from the input, with the
// file's times either handed in (as the scan does) or asked for.
#include "fuzz_support.h"
#include "header_reader.h"
#include "settings.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    static const std::filesystem::path dir = fuzz::freshDirectory("store");
    const bool askForTimes = data[0] & 1;
    settings.verbose = data[0] & 2 ? 1 : 0;
    // The modification time gives the year of a date without one: any
    // moment from 1970 to about 2106.
    std::uint32_t seconds;
    std::memcpy(&seconds, data + 1, sizeof seconds);
    const std::string_view bytes(reinterpret_cast<const char*>(data + 5), size - 5);
    fuzz::writeFile(dir / "1.msg", bytes);

    const MessageFileTimes times{static_cast<std::time_t>(seconds), static_cast<std::time_t>(seconds),
                                 static_cast<std::time_t>(seconds)};
    std::optional<IndexEntry> entry =
        readFileContents("store/", "1.msg", bytes.size(), askForTimes ? nullptr : &times);
    FUZZ_CHECK(entry.has_value());
    FUZZ_CHECK(entry->value1 == 1 && entry->value2 == 1);
    for (const char* text : {entry->date, entry->time, entry->subject, entry->recipientAddress,
                             entry->recipientName, entry->senderAddress, entry->senderName, entry->sizeText,
                             entry->fileName})
        FUZZ_CHECK(text != nullptr);
    FUZZ_CHECK(std::strcmp(entry->fileName, "store/1.msg") == 0);
    // A universal date and time in the index's layout, or none at all.
    const bool noDate = std::strcmp(entry->date, "(null)") == 0;
    FUZZ_CHECK(noDate ? std::strcmp(entry->time, "(null)") == 0
                      : std::strlen(entry->date) == 12 && std::strlen(entry->time) == 8);
    FUZZ_CHECK(entry->selected == nullptr && entry->indexed == nullptr);
    // Nothing but a ".msg" name is read.
    fuzz::writeFile(dir / "1.txt", bytes);
    FUZZ_CHECK(!readFileContents("store/", "1.txt", bytes.size(), &times).has_value());
    return 0;
}
