#include "clock.h"

namespace platform {

bool localTime(std::time_t t, std::tm& out) { return localtime_s(&out, &t) == 0; }

bool universalTime(std::time_t t, std::tm& out) { return gmtime_s(&out, &t) == 0; }

}  // namespace platform
