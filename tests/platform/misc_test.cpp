// Error messages and the clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/clock.h"
#include "platform/error.h"

namespace platform {
namespace {

TEST(Describe, CallPathAndTheSystemsReasonOnOneLine) {
    for (const auto& [call, path, code] :
         {std::tuple{"open", "dir/日本語.txt", 2}, {"getcwd", "", 2}, {"read", "p", 987654}}) {
        std::string head = std::string(call) + (*path ? " " : "") + path + ": ";
        std::string described = Describe({code, call, path});
        EXPECT_TRUE(described.starts_with(head) && described.size() > head.size()) << described;
        EXPECT_TRUE(described.find_first_of("\r\n") == std::string::npos && described.back() != ' ')
            << described;
    }
#ifndef _WIN32
    EXPECT_EQ(Describe({2, "open", "p"}), "open p: No such file or directory");
#endif
}

void SetZone(const char* zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone);
    _tzset();
#else
    *zone ? setenv("TZ", zone, 1) : unsetenv("TZ");
    tzset();
#endif
}

TEST(Clock, LocalTimeInTheZoneOfTZ) {
    const std::string saved = std::getenv("TZ") ? std::getenv("TZ") : "";
    for (const auto& [zone, seconds, expected] : {std::tuple{"UTC0", int64_t{0}, "1970 1 1 0 0 0"},
                                                  {"UTC0", 951782399, "2000 2 28 23 59 59"},
                                                  {"UTC0", 951782400, "2000 2 29 0 0 0"},
                                                  {"UTC0", int64_t{1} << 31, "2038 1 19 3 14 8"},
                                                  {"JST-9", 0, "1970 1 1 9 0 0"},
                                                  {"JST-9", 1704034800, "2024 1 1 0 0 0"}}) {
        SetZone(zone);
        LocalTime t = ToLocal(seconds);
        std::string got = std::to_string(t.year);
        for (int part : {t.month, t.day, t.hour, t.minute, t.second})
            got.append(" ").append(std::to_string(part));
        EXPECT_EQ(got, expected) << zone << " " << seconds;
    }
    SetZone(saved.c_str());
    int64_t before = std::time(nullptr), now = NowSeconds(), after = std::time(nullptr);
    EXPECT_TRUE(before <= now && now <= after);
}

}  // namespace
}  // namespace platform
