// ldtParseDate over every format code (valid or not), both overloads, any
// length, kind and required flag. The text is handed over in a block of
// exactly `length` bytes with no terminator, so a read past it is caught.
#include "fuzz_support.h"
#include "ldt.h"

#include <memory>

namespace {

bool validDate(LdtDate date) {
    int year = 0, month = 0, day = 0;
    ldtSplit(date, year, month, day);
    return month >= 1 && month <= 12 && day >= 1 && day <= ldtDaysInMonth(year, month);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const int format = (data[0] << 8 | data[1]) % 500;  // 1..432 are the candidates, the rest is invalid
    const int flags = data[2];
    const int required = flags & 3;      // 0, 1, and 2, 3 as argument errors
    const int kind = flags & 4 ? 3 : ldtKindDate;
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

    // Exactly the text's bytes on the heap, no terminator after them.
    std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
    std::copy(text.begin(), text.end(), block.get());
    const int length = flags & 8 ? static_cast<int>(text.size()) : static_cast<int>(text.size()) - (flags >> 4);

    LdtDate date = -7;
    int result = ldtParseDate(length >= 0 ? block.get() : nullptr, length >= 0 ? length : 0, date, kind, format,
                              required);
    FUZZ_CHECK(result == 0 || result == ldtErrNotADate || result == ldtErrDateArgument ||
               result == ldtErrDateEmpty || result == ldtErrFormatCode);
    const bool argumentsValid = length >= 1 && length <= 30 && kind == ldtKindDate;
    if (!argumentsValid) FUZZ_CHECK(result == ldtErrDateArgument && date == -7);
    if (argumentsValid && ldtCheckDateFormat(format) != 0) FUZZ_CHECK(result == ldtErrFormatCode && date == -7);
    if (result != 0) return 0;
    FUZZ_CHECK(required == 0 || required == 1);
    FUZZ_CHECK(validDate(date));

    // The same text through the other overload gives the same answer
    // (a zero byte ends the text for both).
    const std::string_view upToNul = text.substr(0, std::min<std::size_t>(length, text.find('\0')));
    LdtDate again = -7;
    FUZZ_CHECK(ldtParseDate(upToNul, again, kind, format, required) == 0 && again == date);

    // A date with a year reads back from its own ISO form.
    if (date >= 10000) {
        char buffer[32];
        FUZZ_CHECK(ldtFormatDate(buffer, sizeof buffer, 10, date, ldtKindDate, 4232, ldtJustifyLeft) == 0);
        LdtDate back = -7;
        FUZZ_CHECK(ldtParseDate(buffer, 10, back, ldtKindDate, 423, 1) == 0);
        FUZZ_CHECK(back == date);
    }
    return 0;
}
