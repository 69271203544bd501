// The current directory and drive, and absolute paths.
#include "platform/dirs.h"

#include <gtest/gtest.h>

#include "tests/support/tempdir.h"

namespace platform {
namespace {

TEST(CurrentDir, SetGetFullPathAndDrives) {
    TempDir temp;
    std::string saved, c, after, s = Sep();
    Error error;
    ASSERT_TRUE(GetCurrentDir(saved, error) && SetCurrentDir(temp.path(), error) &&
                GetCurrentDir(c, error))
        << Describe(error);
    for (const auto& [path, full] : std::vector<std::pair<std::string, std::string>>{
             {".", c},
             {"./a/", c + s + "a" + s},
             {"a//b/../", c + s + "a" + s},
             {"a/../..", c.substr(0, c.find_last_of(s))},
#ifndef _WIN32
             {"//usr///lib/../../..", "/"}}) {
#else
             {"\\a\\..\\..", c.substr(0, 3)},
             {"C:\\x\\..\\y\\", "C:\\y\\"}}) {
#endif
        EXPECT_EQ(FullPath(path), full) << path;
    }
    EXPECT_FALSE(SetCurrentDir(temp.Path("missing"), error));
    EXPECT_EQ(error.path, temp.Path("missing"));
    std::string rel = "日本語 😀";
    std::vector<std::string> drives = Drives();
#ifndef _WIN32
    for (int i = 0; i < 15; ++i)
        rel += "/" + std::string(100, 'n');  // longer than any first guess at a buffer
    EXPECT_EQ(drives, std::vector<std::string>{"/"});
#endif
    temp.MakeDir(rel);
    ASSERT_TRUE(SetCurrentDir(rel, error) && GetCurrentDir(after, error)) << Describe(error);
    EXPECT_EQ(after, temp.Path(rel));
    EXPECT_EQ(FullPath("x/.."), after);
#ifdef _WIN32
    // C:\foo, then another drive, then C: again: back in C:\foo.
    EXPECT_FALSE(SetCurrentDrive(0, error) || SetCurrentDrive(27, error));
    const char other = drives.back()[0] != c[0] ? drives.back()[0] : drives.front()[0];
    EXPECT_TRUE(SetCurrentDrive(other - 'A' + 1, error)) << Describe(error);
#endif
    EXPECT_TRUE(SetCurrentDrive(c[0] - 'A' + 1, error) && GetCurrentDir(after, error));
    EXPECT_EQ(after, temp.Path(rel));
    EXPECT_TRUE(SetCurrentDir(saved, error)) << Describe(error);
}

}  // namespace
}  // namespace platform
