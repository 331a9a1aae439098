// ldtParseTime on both clocks and on invalid clock codes, with any length
// argument, kind and required flag. A time it accepts must come back from
// the formatter's text for that clock unchanged.
#include "fuzz_support.h"
#include "ldt.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int clock = data[0] % 4 == 3 ? -1 : data[0] % 4;  // 0, 1, and 2, -1 as invalid codes
    const int required = (data[0] >> 2) % 3;               // 0, 1, and 2 as an argument error
    const int kind = data[0] & 0x40 ? 4 : ldtKindTime;
    const int length = data[1] % 11;                        // 1..9 valid, 0 and 10 not
    // The parser reads to the terminator: give it one.
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    LdtTime time = -7;
    const int result = ldtParseTime(data[0] & 0x80 && text.empty() ? nullptr : text.c_str(), length, time, kind,
                                    clock, required);
    FUZZ_CHECK(result == 0 || result == ldtErrNotATime || result == ldtErrTimeArgument ||
               result == ldtErrTimeEmpty || result == ldtErrFormatCode);
    if (length < 1 || length > 9 || kind != ldtKindTime) FUZZ_CHECK(result == ldtErrTimeArgument && time == -7);
    else if (clock != ldtClock12 && clock != ldtClock24) FUZZ_CHECK(result == ldtErrFormatCode && time == -7);
    if (result != 0) return 0;
    FUZZ_CHECK(required == 0 || required == 1);
    FUZZ_CHECK(time >= 0 && time <= 86400);

    char buffer[16];
    const int style = clock == ldtClock12 ? ldtStyle12HourSeconds : ldtStyle24HourSeconds;
    FUZZ_CHECK(ldtFormatTime(buffer, sizeof buffer, 9, time, ldtKindTime, style, ldtJustifyLeft) == 0);
    LdtTime back = -7;
    FUZZ_CHECK(ldtParseTime(buffer, 9, back, ldtKindTime, clock, 1) == 0);
    // "M" names both ends of the day, so 0 and 24:00 share one text.
    FUZZ_CHECK(back == time || (clock == ldtClock12 && back % 86400 == time % 86400));
    return 0;
}
