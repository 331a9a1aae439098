// The century of today's local date, read from the clock independently of
// the library, so that expectations for two-digit years hold in any century.
#pragma once

#include "test_support.h"

#include <ctime>

inline int testCentury() {
    const std::tm local = testing_support::localFields(std::time(nullptr));
    return (local.tm_year + 1900) / 100 * 100;
}
