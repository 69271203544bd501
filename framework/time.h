// Points in local time and their differences, in whole seconds, with "%H %M %S" formatting.
#pragma once

#include <cstdint>
#include <string>

namespace fw {

class CTimeSpan {
public:
    CTimeSpan() = default;
    explicit CTimeSpan(int64_t seconds) : m_seconds(seconds) {}
    int64_t GetTotalSeconds() const { return m_seconds; }
    // "%H" is the hours within one day, "%M" the minutes, "%S" the seconds, each two digits;
    // every other byte is copied unchanged.
    std::string Format(const std::string& format) const;

private:
    int64_t m_seconds = 0;
};

class CTime {
public:
    CTime() = default;
    explicit CTime(int64_t seconds) : m_seconds(seconds) {}
    static CTime GetCurrentTime();
    int64_t GetTime() const { return m_seconds; }
    // "%H", "%M", "%S" of the local time, each two digits; every other byte unchanged.
    std::string Format(const std::string& format) const;
    CTimeSpan operator-(const CTime& other) const { return CTimeSpan(m_seconds - other.m_seconds); }

private:
    int64_t m_seconds = 0;
};

}  // namespace fw
