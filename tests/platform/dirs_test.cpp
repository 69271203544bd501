#include "platform/dirs.h"

#include <gtest/gtest.h>

#include "platform/fs.h"
#include "tests/support/tempdir.h"

namespace platform {
namespace {

// Each test runs in a temporary directory and puts the process back where it was.
class CurrentDirTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(GetCurrentDir(saved, error) && SetCurrentDir(temp.path(), error) &&
                    GetCurrentDir(current, error))
            << Describe(error);
    }
    void TearDown() override { EXPECT_TRUE(SetCurrentDir(saved, error)) << Describe(error); }
    TempDir temp;
    std::string saved, current, after;
    Error error;
};

TEST_F(CurrentDirTest, SetThenGetAndFullPath) {
    const std::string c = current, s = Sep(), parent = c.substr(0, c.find_last_of(s));
    const std::pair<std::string, std::string> rows[] = {{".", c},
                                                        {"a", c + s + "a"},
                                                        {"a/../b", c + s + "b"},
                                                        {"./a/", c + s + "a" + s},
                                                        {"a/./b/", c + s + "a" + s + "b" + s},
                                                        {"a/..", c},
                                                        {"a/../", c + s},
                                                        {"..", parent},
                                                        {"a/b/../../..", parent},
                                                        {"a//b", c + s + "a" + s + "b"},
#ifndef _WIN32
                                                        {"/..", "/"},
                                                        {"/../../x", "/x"},
                                                        {"//usr///lib//", "/usr/lib/"},
                                                        {"/u/./l/../b", "/u/b"}};
#else
                                                        {"\\..", c.substr(0, 3)},
                                                        {"\\a\\b\\..\\c", c.substr(0, 3) + "a\\c"},
                                                        {"C:\\x\\..\\y\\", "C:\\y\\"}};
#endif
    for (const auto& [path, full] : rows)
        EXPECT_EQ(FullPath(path), full) << path;
    temp.MakeDir("日本語 😀");
    ASSERT_TRUE(SetCurrentDir("日本語 😀", error) && GetCurrentDir(after, error));
    EXPECT_EQ(after, c + s + "日本語 😀");
    EXPECT_FALSE(SetCurrentDir(temp.Path("missing"), error));
    EXPECT_EQ(error.path, temp.Path("missing"));
    EXPECT_TRUE(GetCurrentDir(after, error) && after == c + s + "日本語 😀");
}

TEST_F(CurrentDirTest, LongDirectoriesAndDrives) {
    std::vector<std::string> drives = Drives();
#ifndef _WIN32
    std::string rel(1500, 'n');
    for (size_t i = 100; i < rel.size(); i += 101)
        rel[i] = '/';  // longer than any first guess at a buffer, in names of 100
    temp.MakeDir(rel);
    ASSERT_TRUE(SetCurrentDir(rel, error) && GetCurrentDir(after, error)) << Describe(error);
    EXPECT_EQ(after, temp.Path(rel));
    EXPECT_EQ(FullPath("x/.."), after);
    EXPECT_TRUE(SetCurrentDrive(3, error) && GetCurrentDir(after, error) &&
                after == temp.Path(rel));
    EXPECT_EQ(drives, std::vector<std::string>{"/"});
#else
    for (size_t i = 0; i < drives.size(); ++i)
        EXPECT_TRUE(drives[i].size() == 3 && drives[i].substr(1) == ":\\" &&
                    (i == 0 || drives[i - 1] < drives[i]))
            << drives[i];
    EXPECT_NE(std::find(drives.begin(), drives.end(), "C:\\"), drives.end());
    EXPECT_FALSE(SetCurrentDrive(0, error) || SetCurrentDrive(27, error));
#endif
}

}  // namespace
}  // namespace platform
