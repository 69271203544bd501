// The current local time, in whole seconds.
#pragma once

#include <cstdint>

namespace platform {

struct LocalTime {
    int year = 0, month = 0, day = 0;  // month 1..12
    int hour = 0, minute = 0, second = 0;
};

int64_t NowSeconds();                // seconds since 1970-01-01 UTC
LocalTime ToLocal(int64_t seconds);  // broken down in the local time zone

}  // namespace platform
