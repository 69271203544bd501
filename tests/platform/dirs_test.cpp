#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/dirs.h"
#include "platform/fs.h"
#include "tests/support/tempdir.h"

namespace {

using platform::Error;
using platform::FileId;

FileId IdOf(const std::string& path) {
    FileId id;
    Error error;
    EXPECT_TRUE(platform::RealFileSystem().Identify(path, id, error)) << platform::Describe(error);
    return id;
}

// Runs each test in a temporary directory and puts the process back where it was.
class CurrentDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        Error error;
        ASSERT_TRUE(platform::GetCurrentDir(saved, error)) << platform::Describe(error);
        ASSERT_TRUE(platform::SetCurrentDir(temp.path(), error)) << platform::Describe(error);
        ASSERT_TRUE(platform::GetCurrentDir(current, error));
    }
    void TearDown() override {
        Error error;
        EXPECT_TRUE(platform::SetCurrentDir(saved, error)) << platform::Describe(error);
    }
    // The parent of the current directory, worked out by hand.
    std::string Parent() const {
        std::string parent = current.substr(0, current.find_last_of(platform::kSeparator));
        return parent.find(platform::kSeparator) == std::string::npos ? parent + Sep() : parent;
    }
    TempDir temp;
    std::string saved;
    std::string current;
};

TEST_F(CurrentDirTest, SetThenGetGivesTheSameDirectory) {
    EXPECT_EQ(IdOf(current), IdOf(temp.path()));
    EXPECT_NE(current.back(), platform::kSeparator);

    temp.MakeDir("日本語 😀");
    Error error;
    ASSERT_TRUE(platform::SetCurrentDir("日本語 😀", error)) << platform::Describe(error);
    std::string inner;
    ASSERT_TRUE(platform::GetCurrentDir(inner, error));
    EXPECT_EQ(inner, current + Sep() + "日本語 😀");
}

TEST_F(CurrentDirTest, SettingMissingDirectoryFailsAndStays) {
    Error error;
    EXPECT_FALSE(platform::SetCurrentDir(temp.Path("missing"), error));
    EXPECT_TRUE(error.failed());
    EXPECT_EQ(error.path, temp.Path("missing"));
    std::string after;
    ASSERT_TRUE(platform::GetCurrentDir(after, error));
    EXPECT_EQ(after, current);
}

TEST_F(CurrentDirTest, FullPathResolvesDotsByName) {
    const std::string s = Sep();
    struct Case {
        std::string path, expected;
    };
    std::vector<Case> cases = {
        {".", current},
        {"..", Parent()},
        {"a", current + s + "a"},
        {"a/../b", current + s + "b"},
        {"a/./b/", current + s + "a" + s + "b" + s},
        {"a/b/../../..", Parent()},
        {"./a/", current + s + "a" + s},
        {"a/..", current},
        {"a/../", current + s},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::FullPath(c.path), c.expected) << c.path;
    }
}

#ifndef _WIN32
TEST_F(CurrentDirTest, FullPathOnPosixRoots) {
    EXPECT_EQ(platform::FullPath("/.."), "/");
    EXPECT_EQ(platform::FullPath("/"), "/");
    EXPECT_EQ(platform::FullPath("/../../x"), "/x");
    EXPECT_EQ(platform::FullPath("//usr///lib//"), "/usr/lib/");
    EXPECT_EQ(platform::FullPath("/usr/./lib/../bin"), "/usr/bin");
    EXPECT_EQ(platform::FullPath("a//b"), current + "/a/b");
}

// The current directory's name can be longer than any first guess at a buffer.
TEST_F(CurrentDirTest, VeryLongCurrentDirectory) {
    std::string rel;
    while (rel.size() < 1500) {
        rel += std::string(100, 'n') + "/";
    }
    rel.pop_back();
    temp.MakeDir(rel);
    Error error;
    ASSERT_TRUE(platform::SetCurrentDir(temp.Path(rel), error)) << platform::Describe(error);
    std::string deep;
    ASSERT_TRUE(platform::GetCurrentDir(deep, error)) << platform::Describe(error);
    EXPECT_EQ(deep, current + "/" + rel);
    EXPECT_EQ(platform::FullPath("x/.."), deep);
}

TEST_F(CurrentDirTest, SetCurrentDriveDoesNothing) {
    Error error;
    EXPECT_TRUE(platform::SetCurrentDrive(3, error));
    std::string after;
    ASSERT_TRUE(platform::GetCurrentDir(after, error));
    EXPECT_EQ(after, current);
}

TEST(Drives, OnlyTheRoot) {
    EXPECT_EQ(platform::Drives(), std::vector<std::string>{"/"});
}
#endif

#ifdef _WIN32
TEST_F(CurrentDirTest, FullPathOnWindowsRoots) {
    std::string drive = current.substr(0, 2);
    EXPECT_EQ(platform::FullPath("\\.."), drive + "\\");
    EXPECT_EQ(platform::FullPath("\\a\\b\\..\\c"), drive + "\\a\\c");
    EXPECT_EQ(platform::FullPath("C:\\x\\..\\y\\"), "C:\\y\\");
    EXPECT_EQ(platform::FullPath("a/b"), current + "\\a\\b");
}

TEST_F(CurrentDirTest, SetCurrentDriveGoesToThatDrive) {
    Error error;
    ASSERT_TRUE(platform::SetCurrentDrive(3, error)) << platform::Describe(error);
    std::string after;
    ASSERT_TRUE(platform::GetCurrentDir(after, error));
    EXPECT_EQ(after.substr(0, 2), "C:");

    EXPECT_FALSE(platform::SetCurrentDrive(0, error));
    EXPECT_FALSE(platform::SetCurrentDrive(27, error));
}

TEST(Drives, RootsInOrder) {
    std::vector<std::string> drives = platform::Drives();
    ASSERT_FALSE(drives.empty());
    for (size_t i = 0; i < drives.size(); ++i) {
        ASSERT_EQ(drives[i].size(), 3u) << drives[i];
        EXPECT_EQ(drives[i].substr(1), ":\\");
        if (i > 0) {
            EXPECT_LT(drives[i - 1], drives[i]);
        }
    }
    EXPECT_NE(std::find(drives.begin(), drives.end(), "C:\\"), drives.end());
}
#endif

}  // namespace
