#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "tests/support/tempdir.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

using platform::DirEntry;
using platform::Error;
using platform::FileId;
using platform::RealFileSystem;

std::map<std::string, DirEntry> ListByName(const std::string& dir) {
    std::vector<DirEntry> entries;
    Error error;
    EXPECT_TRUE(RealFileSystem().List(dir, entries, error)) << platform::Describe(error);
    std::map<std::string, DirEntry> byName;
    for (const DirEntry& entry : entries) {
        EXPECT_TRUE(byName.emplace(entry.name, entry).second) << "listed twice: " << entry.name;
    }
    return byName;
}

FileId IdOf(const std::string& path) {
    FileId id;
    Error error;
    EXPECT_TRUE(RealFileSystem().Identify(path, id, error)) << platform::Describe(error);
    return id;
}

std::filesystem::path U8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class ListTest : public ::testing::Test {
protected:
    void SetUp() override {
        temp.WriteFile("日本語の名前.txt", "abc");
        temp.WriteFile("emoji 😀 100%.bin", "12345");
        temp.WriteFile(".hidden", "");
        temp.MakeDir("empty");
        temp.MakeDir("a.txt");
        temp.WriteFile("sub/inner", "x");
    }
    TempDir temp;
};

TEST_F(ListTest, GivesEveryEntryWithItsKindAndSize) {
    auto entries = ListByName(temp.path());
    ASSERT_EQ(entries.size(), 6u);

    const DirEntry& japanese = entries["日本語の名前.txt"];
    EXPECT_TRUE(japanese.isRegular);
    EXPECT_FALSE(japanese.isDir);
    EXPECT_EQ(japanese.size, 3u);
    EXPECT_EQ(entries["emoji 😀 100%.bin"].size, 5u);
    EXPECT_TRUE(entries[".hidden"].isRegular);
    EXPECT_EQ(entries[".hidden"].size, 0u);

    for (const char* dir : {"empty", "a.txt", "sub"}) {
        const DirEntry& entry = entries[dir];
        EXPECT_TRUE(entry.isDir) << dir;
        EXPECT_FALSE(entry.isRegular) << dir;
        EXPECT_TRUE(entry.hasId) << dir;
        EXPECT_EQ(entry.id, IdOf(temp.Path(dir))) << dir;
    }
    EXPECT_NE(entries["empty"].id, entries["sub"].id);
}

TEST_F(ListTest, TrailingSeparatorMakesNoDifference) {
    auto plain = ListByName(temp.path());
    auto withSeparator = ListByName(temp.path() + Sep());
    ASSERT_EQ(plain.size(), withSeparator.size());
    for (const auto& [name, entry] : plain) {
        EXPECT_EQ(withSeparator.count(name), 1u) << name;
    }
}

TEST_F(ListTest, EmptyDirectoryListsNothing) {
    std::vector<DirEntry> entries{DirEntry{}};
    Error error;
    EXPECT_TRUE(RealFileSystem().List(temp.Path("empty"), entries, error));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(error.failed());
}

// The engine compares listings in the order the system gives; nothing may re-sort them.
TEST(List, KeepsTheSystemsOrder) {
    TempDir temp;
    for (const char* name : {"m", "b", "z", "a", "k", "c", "y", "d", "x", "e", "w", "f"}) {
        temp.WriteFile(name, name);
    }
    std::vector<std::string> expected;
    for (const auto& entry : std::filesystem::directory_iterator(U8(temp.path()))) {
        std::u8string name = entry.path().filename().u8string();
        expected.emplace_back(name.begin(), name.end());
    }
    std::vector<DirEntry> entries;
    Error error;
    ASSERT_TRUE(RealFileSystem().List(temp.path(), entries, error));
    std::vector<std::string> names;
    for (const DirEntry& entry : entries) {
        names.push_back(entry.name);
    }
    EXPECT_EQ(names, expected);
}

TEST(List, MissingDirectoryFailsNamingCallAndPath) {
    TempDir temp;
    std::string missing = temp.Path("missing");
    std::vector<DirEntry> entries;
    Error error;
    EXPECT_FALSE(RealFileSystem().List(missing, entries, error));
    EXPECT_TRUE(error.failed());
    EXPECT_FALSE(error.call.empty());
    EXPECT_EQ(error.path, missing);
    std::string described = platform::Describe(error);
    EXPECT_NE(described.find(error.call), std::string::npos) << described;
    EXPECT_NE(described.find(missing), std::string::npos) << described;
}

TEST(List, FileIsNotADirectory) {
    TempDir temp;
    temp.WriteFile("file", "x");
    std::vector<DirEntry> entries;
    Error error;
    EXPECT_FALSE(RealFileSystem().List(temp.Path("file"), entries, error));
    EXPECT_TRUE(error.failed());
}

#ifndef _WIN32
TEST_F(ListTest, FollowsLinksAndMarksWhatCannotBeExamined) {
    namespace fs = std::filesystem;
    fs::create_directory_symlink("sub", temp.Path("dirlink"));
    fs::create_symlink(U8("日本語の名前.txt"), temp.Path("filelink"));
    fs::create_symlink("nowhere", temp.Path("dangling"));
    fs::create_symlink("loop2", temp.Path("loop1"));
    fs::create_symlink("loop1", temp.Path("loop2"));
    ASSERT_EQ(mkfifo(temp.Path("fifo").c_str(), 0600), 0);

    auto entries = ListByName(temp.path());
    ASSERT_EQ(entries.size(), 12u);

    EXPECT_TRUE(entries["dirlink"].isDir);
    EXPECT_TRUE(entries["dirlink"].hasId);
    EXPECT_EQ(entries["dirlink"].id, entries["sub"].id);

    EXPECT_TRUE(entries["filelink"].isRegular);
    EXPECT_EQ(entries["filelink"].size, 3u);

    for (const char* name : {"dangling", "loop1", "loop2"}) {
        const DirEntry& entry = entries[name];
        EXPECT_FALSE(entry.isDir) << name;
        EXPECT_FALSE(entry.isRegular) << name;
        EXPECT_FALSE(entry.hasId) << name;
    }

    EXPECT_FALSE(entries["fifo"].isDir);
    EXPECT_FALSE(entries["fifo"].isRegular);
    EXPECT_EQ(entries["fifo"].size, 0u);
}

TEST(Identify, DirectoryAndLinkToItAreTheSame) {
    TempDir temp;
    temp.MakeDir("dir");
    temp.MakeDir("other");
    std::filesystem::create_directory_symlink(temp.Path("dir"), temp.Path("link"));
    EXPECT_EQ(IdOf(temp.Path("link")), IdOf(temp.Path("dir")));
    EXPECT_NE(IdOf(temp.Path("other")), IdOf(temp.Path("dir")));
}
#endif

TEST(Identify, MissingPathFails) {
    TempDir temp;
    FileId id;
    Error error;
    EXPECT_FALSE(RealFileSystem().Identify(temp.Path("missing"), id, error));
    EXPECT_TRUE(error.failed());
    EXPECT_EQ(error.path, temp.Path("missing"));
}

TEST(Exists, SeesFilesAndDirectoriesButNotMissingOnes) {
    TempDir temp;
    temp.WriteFile("file", "");
    temp.MakeDir("dir");
    EXPECT_TRUE(RealFileSystem().Exists(temp.Path("file")));
    EXPECT_TRUE(RealFileSystem().Exists(temp.Path("dir")));
    EXPECT_FALSE(RealFileSystem().Exists(temp.Path("missing")));
    EXPECT_FALSE(RealFileSystem().Exists(temp.Path("missing/below")));
#ifndef _WIN32
    // The link is there even though what it names is not.
    std::filesystem::create_symlink("nowhere", temp.Path("dangling"));
    EXPECT_TRUE(RealFileSystem().Exists(temp.Path("dangling")));
#endif
}

// Reads the whole file in blocks, checking that only the last read comes up short.
std::string ReadInBlocks(const std::string& path, size_t block) {
    Error error;
    auto file = RealFileSystem().OpenRead(path, error);
    EXPECT_NE(file, nullptr) << platform::Describe(error);
    if (file == nullptr) {
        return "";
    }
    std::string all;
    std::vector<char> buffer(block);
    for (;;) {
        size_t got = 12345;
        EXPECT_TRUE(file->Read(buffer.data(), block, got, error)) << platform::Describe(error);
        EXPECT_LE(got, block);
        all.append(buffer.data(), std::min(got, block));
        if (got < block) {
            break;
        }
    }
    size_t got = 12345;
    EXPECT_TRUE(file->Read(buffer.data(), block, got, error));
    EXPECT_EQ(got, 0u) << "data after a short read";
    return all;
}

TEST(OpenRead, ReadsWholeFilesAroundBlockBoundaries) {
    TempDir temp;
    constexpr size_t kBlock = 4096;
    for (size_t size : {size_t{0}, size_t{1}, kBlock - 1, kBlock, kBlock + 1, 3 * kBlock}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>(i * 7 + i / 251);
        }
        std::string name = "file" + std::to_string(size);
        temp.WriteFile(name, bytes);
        EXPECT_EQ(ReadInBlocks(temp.Path(name), kBlock), bytes) << size;
    }
}

TEST(OpenRead, OneReadLargerThanTheFileGetsAllOfIt) {
    TempDir temp;
    std::string bytes(100000, 'q');
    temp.WriteFile("file", bytes);
    Error error;
    auto file = RealFileSystem().OpenRead(temp.Path("file"), error);
    ASSERT_NE(file, nullptr);
    std::string buffer(200000, '\0');
    size_t got = 0;
    ASSERT_TRUE(file->Read(buffer.data(), buffer.size(), got, error));
    EXPECT_EQ(got, bytes.size());
    EXPECT_EQ(buffer.substr(0, got), bytes);
}

// The end of a file is where it ends when read, not where it ended when opened.
TEST(OpenRead, FileThatGrowsAfterOpeningIsReadToItsEnd) {
    TempDir temp;
    temp.WriteFile("file", std::string(5000, 'a'));
    Error error;
    auto file = RealFileSystem().OpenRead(temp.Path("file"), error);
    ASSERT_NE(file, nullptr);
    temp.WriteFile("file", std::string(9000, 'b'));  // rewritten in place, longer
    std::string buffer(20000, '\0');
    size_t got = 0;
    ASSERT_TRUE(file->Read(buffer.data(), buffer.size(), got, error));
    EXPECT_EQ(got, 9000u);
    EXPECT_EQ(buffer.substr(0, got), std::string(9000, 'b'));
    ASSERT_TRUE(file->Read(buffer.data(), buffer.size(), got, error));
    EXPECT_EQ(got, 0u);
}

TEST(OpenRead, RefusesDirectoriesAndMissingFiles) {
    TempDir temp;
    temp.MakeDir("dir");
    for (const char* name : {"dir", "missing"}) {
        Error error;
        EXPECT_EQ(RealFileSystem().OpenRead(temp.Path(name), error), nullptr) << name;
        EXPECT_TRUE(error.failed()) << name;
        EXPECT_EQ(error.path, temp.Path(name));
    }
}

TEST(OpenRead, OpensUnicodeNames) {
    TempDir temp;
    temp.WriteFile("日本語 😀 %.txt", "content");
    EXPECT_EQ(ReadInBlocks(temp.Path("日本語 😀 %.txt"), 64), "content");
}

#ifndef _WIN32
// Opening a FIFO for reading would wait for a writer; it must be refused at once.
TEST(OpenRead, RefusesFifoWithoutBlocking) {
    TempDir temp;
    ASSERT_EQ(mkfifo(temp.Path("fifo").c_str(), 0600), 0);
    Error error;
    EXPECT_EQ(RealFileSystem().OpenRead(temp.Path("fifo"), error), nullptr);
    EXPECT_TRUE(error.failed());
    EXPECT_EQ(error.path, temp.Path("fifo"));
}

TEST(OpenRead, RefusesSocket) {
    TempDir temp;
    std::string path = temp.Path("socket");
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        GTEST_SKIP() << "temporary path too long for a socket";
    }
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    Error error;
    EXPECT_EQ(RealFileSystem().OpenRead(path, error), nullptr);
    EXPECT_TRUE(error.failed());
    close(fd);

    auto entries = ListByName(temp.path());
    EXPECT_FALSE(entries["socket"].isRegular);
    EXPECT_FALSE(entries["socket"].isDir);
}
#endif

std::string WriteAndClose(const std::string& path, const std::string& bytes) {
    Error error;
    auto file = RealFileSystem().Create(path, error);
    EXPECT_NE(file, nullptr) << platform::Describe(error);
    if (file == nullptr) {
        return "";
    }
    EXPECT_TRUE(file->Write(bytes.data(), bytes.size(), error)) << platform::Describe(error);
    EXPECT_TRUE(file->Close(error)) << platform::Describe(error);
    return bytes;
}

TEST(Create, MakesNewFileAndTruncatesAnExistingOne) {
    TempDir temp;
    WriteAndClose(temp.Path("new"), "first");
    EXPECT_EQ(temp.ReadFile("new"), "first");

    temp.WriteFile("old", std::string(10000, 'x'));
    WriteAndClose(temp.Path("old"), "ab");
    EXPECT_EQ(temp.ReadFile("old"), "ab");

    WriteAndClose(temp.Path("old"), "");
    EXPECT_EQ(temp.ReadFile("old"), "");
}

TEST(Create, DestructorClosesWhatWasWritten) {
    TempDir temp;
    std::string bytes(70000, 'z');
    {
        Error error;
        auto file = RealFileSystem().Create(temp.Path("out"), error);
        ASSERT_NE(file, nullptr);
        ASSERT_TRUE(file->Write(bytes.data(), bytes.size(), error));
    }
    EXPECT_EQ(temp.ReadFile("out"), bytes);
}

TEST(Create, FailsInMissingDirectory) {
    TempDir temp;
    Error error;
    EXPECT_EQ(RealFileSystem().Create(temp.Path("missing/out"), error), nullptr);
    EXPECT_TRUE(error.failed());
    EXPECT_EQ(error.path, temp.Path("missing/out"));
}

#ifdef _WIN32
// Every operation must work below the 260-character limit of plain Windows paths.
TEST(LongPath, EveryOperationWorksDeepInATree) {
    TempDir temp;
    std::string rel;
    while (temp.path().size() + rel.size() < 400) {
        rel += std::string(40, 'd') + "長/";
    }
    rel.pop_back();
    temp.WriteFile(rel + "/file.bin", "long path content");
    temp.MakeDir(rel + "/child");

    std::string dir = temp.Path(rel);
    ASSERT_GT(dir.size(), 260u);
    auto entries = ListByName(dir);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries["file.bin"].isRegular);
    EXPECT_EQ(entries["file.bin"].size, 17u);
    EXPECT_TRUE(entries["child"].isDir);
    EXPECT_TRUE(entries["child"].hasId);

    EXPECT_EQ(ReadInBlocks(dir + "\\file.bin", 8), "long path content");
    EXPECT_TRUE(RealFileSystem().Exists(dir + "\\file.bin"));
    EXPECT_EQ(IdOf(dir + "\\child"), entries["child"].id);

    WriteAndClose(dir + "\\made.txt", "made");
    EXPECT_EQ(temp.ReadFile(rel + "/made.txt"), "made");
}

// A relative path with ".." still reaches the file once made absolute.
TEST(OpenRead, RelativeComponentsAreResolved) {
    TempDir temp;
    temp.WriteFile("a/file", "here");
    temp.MakeDir("b");
    EXPECT_EQ(ReadInBlocks(temp.Path("b/../a/./file"), 16), "here");
}
#endif

}  // namespace
