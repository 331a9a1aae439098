// The century of today's local date, read from the clock independently of
// the library, so that expectations for two-digit years hold in any century.
#pragma once

#include <ctime>

inline int testCentury() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return (local.tm_year + 1900) / 100 * 100;
}
