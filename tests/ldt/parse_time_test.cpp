// ldtParseTime on both clocks.
#include "ldt.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

constexpr LdtTime untouched = -7;

std::pair<int, LdtTime> parse(const char* text, int clock) {
    LdtTime time = untouched;
    const int code = ldtParseTime(text, 9, time, 2, clock, 1);
    return {code, time};
}
std::pair<int, LdtTime> on24(const std::string& text) { return parse(text.c_str(), 1); }
std::pair<int, LdtTime> on12(const std::string& text) { return parse(text.c_str(), 0); }
std::pair<int, LdtTime> ok(LdtTime time) { return {0, time}; }
const std::pair<int, LdtTime> notATime{1071, 0};

TEST(LdtParseTime, TwentyFourHourClock) {
    EXPECT_EQ(on24("12:30"), ok(45000));
    EXPECT_EQ(on24("1230"), ok(45000));
    EXPECT_EQ(on24("123"), ok(4980));  // the hour is all but the last two
    EXPECT_EQ(on24("0:00"), ok(0));
    EXPECT_EQ(on24("24:00"), ok(86400));
    EXPECT_EQ(on24("24:00:00"), ok(86400));
    EXPECT_EQ(on24("23:59:59"), ok(86399));
    EXPECT_EQ(on24("11:39:10"), ok(41950));
    EXPECT_EQ(on24("   11:39:10   "), ok(41950));
    EXPECT_EQ(on24("24:01"), notATime);
    EXPECT_EQ(on24("24:00:01"), notATime);
    EXPECT_EQ(on24("25:00"), notATime);
    EXPECT_EQ(on24("9:5"), notATime);
    EXPECT_EQ(on24("11:39:1"), notATime);
    EXPECT_EQ(on24("12:60"), notATime);
    EXPECT_EQ(on24("12:30:60"), notATime);
    EXPECT_EQ(on24("123:00"), notATime);
    EXPECT_EQ(on24(":30"), notATime);
    EXPECT_EQ(on24("12::30"), notATime);
    EXPECT_EQ(on24("12:30:"), notATime);
    EXPECT_EQ(on24("12:30:15:00"), notATime);
    EXPECT_EQ(on24("12"), notATime);
    EXPECT_EQ(on24(":"), notATime);
    EXPECT_EQ(on24("12:30PM"), notATime);
    EXPECT_EQ(on24("12: 30"), notATime);
    EXPECT_EQ(on24("1a:30"), notATime);
}

TEST(LdtParseTime, TwelveHourClock) {
    EXPECT_EQ(on12("12:30PM"), ok(45000));
    EXPECT_EQ(on12("12:30 PM"), ok(45000));
    EXPECT_EQ(on12("12:30   pm"), ok(45000));
    EXPECT_EQ(on12("12:30P"), ok(45000));
    EXPECT_EQ(on12("12:30AM"), ok(1800));
    EXPECT_EQ(on12("12:30 AM"), ok(1800));
    EXPECT_EQ(on12("12:30a"), ok(1800));
    EXPECT_EQ(on12("1:05p"), ok(47100));
    EXPECT_EQ(on12("11:59:59P"), ok(86399));
    EXPECT_EQ(on12("9:15:20A"), ok(33320));
    EXPECT_EQ(on12("12:00M"), ok(0));
    EXPECT_EQ(on12("12:00:30M"), ok(30));
    EXPECT_EQ(on12("12:00N"), ok(43200));
    EXPECT_EQ(on12("12:01N"), notATime);
    EXPECT_EQ(on12("11:00N"), notATime);
    EXPECT_EQ(on12("12:01M"), notATime);
    // Without a colon the suffix counts among the last two characters.
    EXPECT_EQ(on12("1230PM"), notATime);
    // A single letter must follow the digits directly.
    EXPECT_EQ(on12("12:30 P"), notATime);
    EXPECT_EQ(on12("12:30"), notATime);
    EXPECT_EQ(on12("12:30X"), notATime);
    EXPECT_EQ(on12("12:30XM"), notATime);
    EXPECT_EQ(on12("13:00P"), notATime);
    EXPECT_EQ(on12("0:30A"), notATime);
    EXPECT_EQ(on12("PM"), notATime);
    EXPECT_EQ(on12("P M"), notATime);
    EXPECT_EQ(on12("12:30:P"), notATime);
}

TEST(LdtParseTime, EmptyTexts) {
    EXPECT_EQ(on24(""), std::make_pair(1073, 0));
    EXPECT_EQ(on24("      "), std::make_pair(1073, 0));
    EXPECT_EQ(parse(nullptr, 1), std::make_pair(1073, 0));
    LdtTime time = untouched;
    EXPECT_EQ(ldtParseTime("", 9, time, 2, 1, 0), 1071);
    EXPECT_EQ(time, 0);
    time = untouched;
    EXPECT_EQ(ldtParseTime("   ", 9, time, 2, 0, 0), 1071);
    EXPECT_EQ(time, 0);
}

TEST(LdtParseTime, ArgumentErrors) {
    LdtTime time = untouched;
    EXPECT_EQ(ldtParseTime("12:30", 0, time, 2, 1, 1), 1072);
    EXPECT_EQ(ldtParseTime("12:30", 10, time, 2, 1, 1), 1072);
    EXPECT_EQ(ldtParseTime("12:30", 9, time, 4, 1, 1), 1072);
    EXPECT_EQ(ldtParseTime("12:30", 9, time, 2, 2, 1), 1044);
    EXPECT_EQ(ldtParseTime("12:30", 9, time, 2, -1, 1), 1044);
    EXPECT_EQ(time, untouched);
    EXPECT_EQ(ldtParseTime("12:30", 9, time, 2, 1, 2), 1072);
    EXPECT_EQ(time, 0);
    // The length argument does not limit the text.
    EXPECT_EQ(ldtParseTime("11:39:10", 1, time, 2, 1, 1), 0);
    EXPECT_EQ(time, 41950);
}

TEST(LdtParseTime, TrimmedFormMustFitFifteenCharacters) {
    const std::string fifteen = "12:30" + std::string(8, ' ') + "PM";
    ASSERT_EQ(fifteen.size(), 15u);
    EXPECT_EQ(on12(fifteen), ok(45000));
    EXPECT_EQ(on12("  " + fifteen + "   "), ok(45000));
    EXPECT_EQ(on12("12:30" + std::string(9, ' ') + "PM"), notATime);
    EXPECT_EQ(on24(std::string(1000, ' ') + "12:30" + std::string(1000, ' ')), ok(45000));
    EXPECT_EQ(on24(std::string(100000, '1')), notATime);
    EXPECT_EQ(on24("1234567890123456"), notATime);
}

TEST(LdtParseTime, ArbitraryBytesAreSafe) {
    std::string text;
    for (int c = 1; c < 256; ++c) {
        for (int length = 1; length <= 17; ++length) {
            text.assign(static_cast<std::size_t>(length), static_cast<char>(c));
            for (int clock : {0, 1}) {
                const auto result = parse(text.c_str(), clock);
                ASSERT_TRUE(result.first == 1071 || result.first == 1073 ||
                            (result.first == 0 && result.second >= 0 && result.second <= 86400));
                if (result.first != 0) {
                    ASSERT_EQ(result.second, 0);
                }
            }
        }
    }
}

TEST(LdtParseTime, StyleThreeParsesBackOnTheTwentyFourHourClock) {
    char text[9];
    for (LdtTime time = 0; time <= 86400; ++time) {
        ASSERT_EQ(ldtFormatTime(text, sizeof text, 8, time, 2, 3, 0), 0);
        ASSERT_EQ(on24(text), ok(time)) << text;
    }
}

TEST(LdtParseTime, StyleTwoParsesBackOnTheTwelveHourClock) {
    char text[10];
    for (LdtTime time = 0; time <= 86400; ++time) {
        ASSERT_EQ(ldtFormatTime(text, sizeof text, 9, time, 2, 2, 0), 0);
        // 24:00 is written as midnight, which reads back as the day's start.
        ASSERT_EQ(on12(text), ok(time == 86400 ? 0 : time)) << text;
    }
}

TEST(LdtParseTime, MinuteStylesParseBackToTheMinute) {
    char text[10];
    for (LdtTime time = 0; time <= 86400; time += 7) {
        const LdtTime minute = time - time % 60;
        ASSERT_EQ(ldtFormatTime(text, sizeof text, 5, time, 2, 1, 0), 0);
        ASSERT_EQ(on24(text), ok(minute)) << text;
        ASSERT_EQ(ldtFormatTime(text, sizeof text, 6, time, 2, 0, 0), 0);
        ASSERT_EQ(on12(text), ok(time == 86400 ? 0 : minute)) << text;
    }
}

}  // namespace
