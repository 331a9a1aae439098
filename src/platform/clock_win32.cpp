#include "clock.h"

namespace platform {

bool localTime(std::time_t t, std::tm& out) { return localtime_s(&out, &t) == 0; }

}  // namespace platform
