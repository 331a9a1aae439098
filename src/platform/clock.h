// Local and universal broken-down time, safe to call from any thread.
#pragma once

#include <ctime>

namespace platform {

bool localTime(std::time_t t, std::tm& out);
bool universalTime(std::time_t t, std::tm& out);

}  // namespace platform
