// CTime and CTimeSpan over the platform's clock.
#include "framework/time.h"

#include "platform/clock.h"

namespace fw {

namespace {

std::string FormatHMS(const std::string& format, int64_t h, int64_t m, int64_t s) {
    auto two = [](int64_t v) {
        std::string t = std::to_string(v);
        return t.size() < 2 ? "0" + t : t;
    };
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            char c = format[i + 1];
            if (c == 'H' || c == 'M' || c == 'S') {
                out += two(c == 'H' ? h : c == 'M' ? m : s);
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

}  // namespace

std::string CTimeSpan::Format(const std::string& format) const {
    int64_t s = m_seconds < 0 ? -m_seconds : m_seconds;
    return FormatHMS(format, s / 3600 % 24, s / 60 % 60, s % 60);
}

CTime CTime::GetCurrentTime() {
    return CTime(platform::NowSeconds());
}

std::string CTime::Format(const std::string& format) const {
    platform::LocalTime t = platform::ToLocal(m_seconds);
    return FormatHMS(format, t.hour, t.minute, t.second);
}

}  // namespace fw
