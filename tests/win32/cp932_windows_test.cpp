#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <windows.h>

namespace platform {
namespace {

// What Windows itself gives for one UTF-16 code unit, '?' where it used the default char.
std::string WindowsCp932(wchar_t wc) {
    char buffer[8];
    BOOL used_default = FALSE;
    const int length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &wc, 1, buffer, sizeof buffer,
                                           "?", &used_default);
    if (length <= 0 || used_default) {
        return "?";
    }
    return std::string(buffer, static_cast<size_t>(length));
}

std::string Hex(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
        out += digits;
    }
    return out;
}

TEST(Cp932Windows, RunsUnderJapaneseCodePage) {
    EXPECT_EQ(GetACP(), 932u);
}

TEST(Cp932Windows, EveryBmpCharacterMatchesWideCharToMultiByte) {
    int disagreements = 0;
    std::string first;
    for (char32_t cp = 0; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            continue;  // lone surrogates are covered by the portable tests
        }
        const std::string ours = Utf8ToCp932(Utf16ToUtf8(std::u16string(1, char16_t(cp))));
        const std::string windows = WindowsCp932(static_cast<wchar_t>(cp));
        if (ours != windows) {
            if (++disagreements <= 10) {
                char line[64];
                std::snprintf(line, sizeof line, "\n  U+%04X: ours %s, Windows %s",
                              static_cast<unsigned>(cp), Hex(ours).c_str(), Hex(windows).c_str());
                first += line;
            }
        }
    }
    EXPECT_EQ(disagreements, 0) << "first disagreements:" << first;
}

}  // namespace
}  // namespace platform
