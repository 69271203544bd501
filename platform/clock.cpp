// The local time, from the C library.
#include <chrono>
#include <ctime>

#include "platform/clock.h"

namespace platform {

int64_t NowSeconds() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::seconds>(since).count();
}

LocalTime ToLocal(int64_t seconds) {
    std::time_t time = static_cast<std::time_t>(seconds);
    std::tm tm{};
#ifdef _WIN32
    bool ok = localtime_s(&tm, &time) == 0;
#else
    bool ok = localtime_r(&time, &tm) != nullptr;
#endif
    if (!ok) {
        return {};
    }
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace platform
