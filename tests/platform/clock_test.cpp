#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace {

// Sets the TZ variable for the test and puts back the one there was.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            saved_ = old;
        }
        Set(zone);
    }
    ~ScopedTimeZone() { Set(saved_ ? saved_->c_str() : nullptr); }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    static void Set(const char* zone) {
#ifdef _WIN32
        _putenv_s("TZ", zone ? zone : "");
        _tzset();
#else
        if (zone) {
            setenv("TZ", zone, 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
#endif
    }
    std::optional<std::string> saved_;
};

void ExpectTime(const platform::LocalTime& t, int year, int month, int day, int hour, int minute,
                int second) {
    EXPECT_EQ(t.year, year);
    EXPECT_EQ(t.month, month);
    EXPECT_EQ(t.day, day);
    EXPECT_EQ(t.hour, hour);
    EXPECT_EQ(t.minute, minute);
    EXPECT_EQ(t.second, second);
}

TEST(ToLocal, BreaksDownInTheLocalZone) {
    ScopedTimeZone utc("UTC0");
    ExpectTime(platform::ToLocal(0), 1970, 1, 1, 0, 0, 0);
    ExpectTime(platform::ToLocal(951782399), 2000, 2, 28, 23, 59, 59);
    ExpectTime(platform::ToLocal(951782400), 2000, 2, 29, 0, 0, 0);
    // Past the end of 32-bit seconds.
    ExpectTime(platform::ToLocal(int64_t{1} << 31), 2038, 1, 19, 3, 14, 8);
}

TEST(ToLocal, AppliesTheZoneOffset) {
    ScopedTimeZone tokyo("JST-9");
    ExpectTime(platform::ToLocal(0), 1970, 1, 1, 9, 0, 0);
    ExpectTime(platform::ToLocal(1704034800), 2024, 1, 1, 0, 0, 0);
}

TEST(NowSeconds, CountsWholeSecondsSinceTheEpoch) {
    int64_t before = std::time(nullptr);
    int64_t now = platform::NowSeconds();
    int64_t after = std::time(nullptr);
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

}  // namespace
