// Local broken-down time, safe to call from any thread.
#pragma once

#include <ctime>

namespace platform {

bool localTime(std::time_t t, std::tm& out);

}  // namespace platform
