// Error messages and the clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <tuple>

#include "platform/clock.h"
#include "platform/error.h"

namespace platform {
namespace {

TEST(Describe, CallPathAndTheSystemsReasonOnOneLine) {
    const std::string path = "dir/日本語.txt";
    for (const auto& [call, file, code] :
         {std::tuple{"open", path, 2}, {"getcwd", "", 2}, {"read", path, 987654}}) {
        std::string head = std::string(call) + (file.empty() ? "" : " " + file) + ": ";
        std::string described = Describe({code, call, file});
        EXPECT_TRUE(described.starts_with(head) && described.size() > head.size()) << described;
        EXPECT_EQ(described.find_first_of("\r\n"), std::string::npos) << described;
        EXPECT_NE(described.back(), ' ') << described;
    }
#ifndef _WIN32
    EXPECT_EQ(Describe({2, "open", path}), "open dir/日本語.txt: No such file or directory");
#endif
}

TEST(Clock, LocalTimeInTheZoneOfTZ) {
    const char* old = std::getenv("TZ");
    const bool hadZone = old != nullptr;
    const std::string saved = hadZone ? old : "";
    for (const auto& [zone, seconds, expected] : {std::tuple{"UTC0", int64_t{0}, "1970-1-1 0:0:0"},
                                                  {"UTC0", 951782399, "2000-2-28 23:59:59"},
                                                  {"UTC0", 951782400, "2000-2-29 0:0:0"},
                                                  {"UTC0", int64_t{1} << 31, "2038-1-19 3:14:8"},
                                                  {"JST-9", 0, "1970-1-1 9:0:0"},
                                                  {"JST-9", 1704034800, "2024-1-1 0:0:0"}}) {
#ifdef _WIN32
        _putenv_s("TZ", zone);
        _tzset();
#else
        setenv("TZ", zone, 1);
        tzset();
#endif
        LocalTime t = ToLocal(seconds);
        EXPECT_EQ(std::to_string(t.year) + "-" + std::to_string(t.month) + "-" +
                      std::to_string(t.day) + " " + std::to_string(t.hour) + ":" +
                      std::to_string(t.minute) + ":" + std::to_string(t.second),
                  expected);
    }
#ifdef _WIN32
    _putenv_s("TZ", saved.c_str());
    _tzset();
#else
    hadZone ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
#endif
    int64_t before = std::time(nullptr), now = NowSeconds(), after = std::time(nullptr);
    EXPECT_TRUE(before <= now && now <= after);
}

}  // namespace
}  // namespace platform
