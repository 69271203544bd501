// Windows only: the conversions and path forms handed to W APIs.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <string>

#include "platform/dirs.h"
#include "platform/wide_win32.h"

namespace {

TEST(Wide, RoundTripsTextOutsideTheBasicPlane) {
    std::string text = "日本語 😀 %";
    std::wstring wide = platform::ToWide(text);
    EXPECT_EQ(wide, L"\u65E5\u672C\u8A9E \U0001F600 %");
    EXPECT_EQ(platform::FromWide(wide), text);
    EXPECT_EQ(platform::FromWide(wide.data(), 3), "日本語");
    EXPECT_EQ(platform::ToWide(""), L"");
}

TEST(SystemPath, MakesAbsoluteExtendedLengthPaths) {
    EXPECT_EQ(platform::SystemPath(""), L"");
    EXPECT_EQ(platform::SystemPath("C:\\a\\..\\b/c"), L"\\\\?\\C:\\b\\c");
    EXPECT_EQ(platform::SystemPath("C:\\dir\\"), L"\\\\?\\C:\\dir\\");
    EXPECT_EQ(platform::SystemPath("\\\\server\\share\\x"), L"\\\\?\\UNC\\server\\share\\x");
    EXPECT_EQ(platform::SystemPath("\\\\?\\C:\\as is\\..\\"), L"\\\\?\\C:\\as is\\..\\");
    EXPECT_EQ(platform::SystemPath("relative"),
              L"\\\\?\\" + platform::ToWide(platform::FullPath("relative")));
}

}  // namespace
#endif
