#include "platform/dirs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fs.h"
#include "tests/support/tempdir.h"

namespace platform {
namespace {

// Runs each test in a temporary directory and puts the process back where it was.
class CurrentDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(GetCurrentDir(saved, error) && SetCurrentDir(temp.path(), error) &&
                    GetCurrentDir(current, error))
            << Describe(error);
    }
    void TearDown() override { EXPECT_TRUE(SetCurrentDir(saved, error)) << Describe(error); }
    TempDir temp;
    std::string saved, current;
    Error error;
};

TEST_F(CurrentDirTest, SetThenGetGivesTheSameDirectory) {
    temp.MakeDir("日本語 😀");
    std::string inner, after;
    ASSERT_TRUE(SetCurrentDir("日本語 😀", error) && GetCurrentDir(inner, error));
    EXPECT_EQ(inner, current + Sep() + "日本語 😀");
    EXPECT_FALSE(SetCurrentDir(temp.Path("missing"), error));
    EXPECT_EQ(error.path, temp.Path("missing"));
    ASSERT_TRUE(GetCurrentDir(after, error));
    EXPECT_EQ(after, inner);
}

TEST_F(CurrentDirTest, FullPathResolvesDotsByName) {
    const std::string c = current, s = Sep(), parent = c.substr(0, c.find_last_of(s));
    const std::string root = c.substr(0, c.find(s) + 1);
    const std::vector<std::pair<std::string, std::string>> rows = {
        {".", c},
        {"a", c + s + "a"},
        {"a/../b", c + s + "b"},
        {"a/./b/", c + s + "a" + s + "b" + s},
        {"./a/", c + s + "a" + s},
        {"a/..", c},
        {"a/../", c + s},
        {"..", parent},
        {"a/b/../../..", parent},
        {"a//b", c + s + "a" + s + "b"},
#ifndef _WIN32
        {"/..", "/"},
        {"/", "/"},
        {"/../../x", "/x"},
        {"//usr///lib//", "/usr/lib/"},
        {"/usr/./lib/../bin", "/usr/bin"},
#else
        {"\\..", root},
        {"\\a\\b\\..\\c", root + "a\\c"},
        {"C:\\x\\..\\y\\", "C:\\y\\"},
#endif
    };
    for (const auto& [path, full] : rows)
        EXPECT_EQ(FullPath(path), full) << path;
}

#ifndef _WIN32
// Longer than any first guess at a buffer.
TEST_F(CurrentDirTest, VeryLongCurrentDirectory) {
    std::string rel, deep;
    while (rel.size() < 1500)
        rel += std::string(100, 'n') + "/";
    temp.MakeDir(rel);
    ASSERT_TRUE(SetCurrentDir(rel, error) && GetCurrentDir(deep, error)) << Describe(error);
    EXPECT_EQ(deep + "/", current + "/" + rel);
    EXPECT_EQ(FullPath("x/.."), deep);
}

TEST_F(CurrentDirTest, OneDriveOnly) {
    std::string after;
    EXPECT_TRUE(SetCurrentDrive(3, error) && GetCurrentDir(after, error) && after == current);
    EXPECT_EQ(Drives(), std::vector<std::string>{"/"});
}
#else
TEST_F(CurrentDirTest, DrivesAndTheirDirectories) {
    std::vector<std::string> drives = Drives();
    for (size_t i = 0; i < drives.size(); ++i)
        EXPECT_TRUE(drives[i].size() == 3 && drives[i].substr(1) == ":\\" &&
                    (i == 0 || drives[i - 1] < drives[i]))
            << drives[i];
    EXPECT_NE(std::find(drives.begin(), drives.end(), "C:\\"), drives.end());
    std::string after;
    EXPECT_FALSE(SetCurrentDrive(0, error) || SetCurrentDrive(27, error));
    ASSERT_TRUE(SetCurrentDrive(3, error) && GetCurrentDir(after, error)) << Describe(error);
    EXPECT_EQ(after.substr(0, 2), "C:");
}
#endif

}  // namespace
}  // namespace platform
