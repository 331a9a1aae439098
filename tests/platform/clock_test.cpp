// Local broken-down time, from any thread.
#include "platform.h"

#include <gtest/gtest.h>

#include <ctime>
#include <thread>

// What the C library's local time turns back into the same instant, here
// and on another thread at the same time.
TEST(PlatformClock, LocalTimeIsTheSameInstantOnEveryThread) {
    const std::time_t summer = 900000000;   // July 1998
    const std::time_t winter = 1700000000;  // November 2023
    std::tm there{};
    bool convertedThere = false;
    std::thread other([&] { convertedThere = platform::localTime(winter, there); });
    std::tm here{};
    const bool convertedHere = platform::localTime(summer, here);
    other.join();
    ASSERT_TRUE(convertedHere);
    ASSERT_TRUE(convertedThere);
    EXPECT_EQ(here.tm_year, 98);
    EXPECT_EQ(there.tm_year, 123);
    EXPECT_EQ(std::mktime(&here), summer);
    EXPECT_EQ(std::mktime(&there), winter);
}
