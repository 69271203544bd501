// Windows only: the conversions and path forms handed to W APIs, against Windows itself.
#include <gtest/gtest.h>

#include <string>

#include "platform/dirs.h"
#include "platform/text.h"
#include "platform/wide_win32.h"

#include <windows.h>

namespace platform {
namespace {

TEST(Wide, RoundTripsTextOutsideTheBasicPlane) {
    EXPECT_EQ(ToWide("日本語 😀 %"), L"\u65E5\u672C\u8A9E \U0001F600 %");
    EXPECT_EQ(FromWide(L"\u65E5\u672C\u8A9E \U0001F600 %"), "日本語 😀 %");
}

TEST(SystemPath, MakesAbsoluteExtendedLengthPaths) {
    for (const auto& [path, system] : {std::pair{"", L""},
                                       {"C:\\a\\..\\b/c", L"\\\\?\\C:\\b\\c"},
                                       {"C:\\dir\\", L"\\\\?\\C:\\dir\\"},
                                       {"\\\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x"},
                                       {"\\\\?\\C:\\as is\\..\\", L"\\\\?\\C:\\as is\\..\\"}})
        EXPECT_EQ(SystemPath(path), system) << path;
    EXPECT_EQ(SystemPath("relative"), L"\\\\?\\" + ToWide(FullPath("relative")));
}

// The log is written in code page 932, as a Japanese Windows writes it.
TEST(Cp932Windows, RunsUnderJapaneseCodePage) {
    if (PRIMARYLANGID(GetSystemDefaultLangID()) != LANG_JAPANESE)
        GTEST_SKIP() << "not a Japanese Windows: its code page is not 932";
    EXPECT_EQ(GetACP(), 932u);
}

TEST(Cp932Windows, EveryBmpCharacterMatchesWideCharToMultiByte) {
    int disagreements = 0;
    for (unsigned cp = 0; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;  // lone surrogates are covered by the portable tests
        const wchar_t wc = static_cast<wchar_t>(cp);
        std::string windows(8, '\0');
        BOOL usedDefault = FALSE;
        int length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &wc, 1, windows.data(),
                                         static_cast<int>(windows.size()), "?", &usedDefault);
        windows = length <= 0 || usedDefault ? "?" : windows.substr(0, length);
        std::string ours = Utf8ToCp932(Utf16ToUtf8(std::u16string(1, char16_t(wc))));
        EXPECT_TRUE(ours == windows || ++disagreements > 10)
            << "U+" << std::hex << cp << ": " << testing::PrintToString(ours) << " "
            << testing::PrintToString(windows);
    }
}

}  // namespace
}  // namespace platform
