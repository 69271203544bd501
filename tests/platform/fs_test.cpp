// The system's own file system and current directory on a real disk, where what the system does
// is the point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/dirs.h"
#include "platform/fs.h"
#include "platform/medium.h"
#include "tests/support/bytes.h"
#include "tests/support/tempdir.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

FileSystem& fs = RealFileSystem();
using Names = std::vector<std::string>;

// "name kind" for each entry, sorted; kind is "dir", the size of a regular file, "special" or
// "unreadable". order gets the names in the system's order, ids the identities.
Names Listed(const std::string& dir, Names* order = nullptr,
             std::map<std::string, FileId>* ids = nullptr) {
    std::vector<DirEntry> entries;
    Error error;
    EXPECT_TRUE(fs.List(dir, entries, error)) << Describe(error);
    Names out;
    for (const DirEntry& e : entries) {
        out.push_back(e.name + " " +
                      (e.unreadable  ? "unreadable"
                       : e.isDir     ? "dir"
                       : e.isRegular ? std::to_string(e.size)
                                     : "special"));
        if (order)
            order->push_back(e.name);
        if (ids && e.hasId)
            (*ids)[e.name] = e.id;
    }
    std::sort(out.begin(), out.end());
    return out;
}

// What file gives, read in blocks into a buffer skew bytes past an aligned address, then "-"
// when it was not opened or a read failed.
std::string ReadAll(InputFile* file, Error& error, size_t block = 4096, size_t skew = 0) {
    AlignedBuffer buffer = AllocateAligned(block + skew, 65536);
    std::string all;
    for (size_t got = block; file && got == block;) {
        bool read = file->Read(buffer.get() + skew, block, got, error);
        all.append(reinterpret_cast<char*>(buffer.get()) + skew, got);
        if (!read)
            return all + "-";
    }
    return file ? all : "-";
}

// A file, a directory, and on POSIX links followed, to nothing and to themselves, and a FIFO.
class Tree : public testing::Test {
protected:
    void SetUp() override {
        temp.WriteFile("日本語 😀 %.txt", "abc");
        temp.WriteFile("sub/inner", "");
#ifndef _WIN32
        std::filesystem::create_directory_symlink("sub", temp.Path("dirlink"));
        std::filesystem::create_symlink("nowhere", temp.Path("dangling"));
        std::filesystem::create_symlink("loop", temp.Path("loop"));
        ASSERT_EQ(mkfifo(temp.Path("fifo").c_str(), 0600), 0);  // without a reader or a writer
#endif
    }
    TempDir temp;
    Error error;
};

TEST_F(Tree, ListsKindsAndIdentitiesInTheSystemsOrderAndOpenFilesSayWhatTheyAre) {
    temp.WriteFile(".hidden", "");
    Names expected = {".hidden 0", "sub dir", "日本語 😀 %.txt 3"}, order, walked;
#ifndef _WIN32
    expected = {".hidden 0",    "dangling special", "dirlink dir",     "fifo special",
                "loop special", "sub dir",          "日本語 😀 %.txt 3"};
#endif
    std::map<std::string, FileId> ids;
    EXPECT_EQ(Listed(temp.path() + Sep(), &order, &ids), expected);
    // The engine compares listings in the order the system gives; nothing may re-sort them.
    const std::string& root = temp.path();
    for (const auto& entry :
         std::filesystem::directory_iterator(std::u8string(root.begin(), root.end()))) {
        std::u8string name = entry.path().filename().u8string();
        walked.push_back(std::string(name.begin(), name.end()));
        EXPECT_TRUE(fs.Exists(temp.Path(walked.back()))) << walked.back();
    }
    EXPECT_EQ(order, walked);
    FileId id;
    EXPECT_TRUE(fs.Identify(temp.Path("sub"), id, error) && id == ids["sub"] &&
                id != ids[".hidden"]);
#ifndef _WIN32
    EXPECT_EQ(ids["dirlink"], ids["sub"]);
#endif
    EXPECT_FALSE(fs.Exists(temp.Path("missing")));
    // One file by two names, read from the medium or not, is one file; another is not.
    std::filesystem::create_hard_link(temp.Path("sub/inner"), temp.Path("hard"));
    auto identity = [&](std::unique_ptr<InputFile> file) {
        FileIdentity said;
        EXPECT_TRUE(file && file->Identity(said)) << Describe(error);
        return said;
    };
    FileIdentity inner = identity(fs.OpenRead(temp.Path("sub/inner"), error));
    EXPECT_TRUE(inner == identity(fs.OpenReadFromMedium(temp.Path("hard"), error)));
    EXPECT_FALSE(inner == identity(fs.OpenReadOnce(temp.Path("日本語 😀 %.txt"), error)));
}

// Only regular files are read; a new file takes the name of nothing but a regular file or a
// link, itself and not what it leads to. Nothing waits.
TEST_F(Tree, ReadsRegularFilesAndReplacesOnlyThemAndLinks) {
    std::vector<std::tuple<std::string, std::string, bool>> rows = {
        // read, then replaceable
        {temp.Path("日本語 😀 %.txt"), "abc", true},
        {temp.Path("new"), "-", true},
        {temp.Path("sub"), "-", false},
        {temp.Path("missing/x"), "-", true}};
#ifndef _WIN32
    rows.insert(rows.end(), {{temp.Path("fifo"), "-", false},
                             {temp.Path("dirlink"), "-", true},
                             {"/dev/null", "-", false}});
#else
    rows.push_back({"NUL", "-", false});
#endif
    for (const auto& [path, read, replaceable] : rows) {
        EXPECT_EQ(ReadAll(fs.OpenRead(path, error).get(), error), read) << path;
        EXPECT_EQ(error.path, read == "-" ? path : "");
        EXPECT_EQ(Describe(error).find_first_of("\r\n"), std::string::npos);  // as Windows ends
        EXPECT_EQ(NotThere(error.code), read == "-" && path != "NUL") << path;
        EXPECT_EQ(ReadAll(fs.OpenReadFromMedium(path, error).get(), error), read) << path;
        error = {};
        EXPECT_EQ(Replaceable(fs, path, error), replaceable) << path;
        EXPECT_TRUE(replaceable || error.path == path) << path;
        error = {};
    }
}

// Decided by what the directories are: links followed, letter case where the file system
// ignores it, a name that only begins like the root's is not in it, and what cannot be found
// cannot be told.
TEST_F(Tree, TellsWhetherADirectoryLiesWithinARoot) {
    temp.MakeDir("sub2");
    std::vector<std::tuple<std::string, std::string, int>> rows = {
        // 1 within, 0 not, -1 cannot be told
        {"sub", "sub", 1},  {"sub/", ".", 1},     {".", "sub", 0},
        {"sub2", "sub", 0}, {"missing", ".", -1}, {"sub", "missing", -1}};
#ifndef _WIN32
    rows.insert(rows.end(),
                {{"dirlink", "sub", 1}, {"sub", "dirlink", 1}, {"dirlink/..", "sub", 0}});
#else
    rows.push_back({"SUB", "sub", 1});
#endif
    for (const auto& [dir, root, expected] : rows) {
        bool within = false;
        bool told = fs.Within(temp.Path(dir), temp.Path(root), within, error);
        EXPECT_EQ(told ? within : -1, expected) << dir << " in " << root << Describe(error);
    }
}

// What a manifest is written with: a new file never replaces anything, and a move replaces
// only when asked to.
TEST_F(Tree, MakesNewFilesAndMovesThemReplacingOnlyWhenAsked) {
    std::string made = temp.Path("made"), held = temp.Path("日本語 😀 %.txt");
    auto file = fs.CreateNew(made, error);
    ASSERT_TRUE(file && file->Write("new", 3, error));
    for (const std::string& there : {made, held, temp.Path("sub")})
        EXPECT_EQ(fs.CreateNew(there, error), nullptr) << there;
    EXPECT_FALSE(fs.Rename(made, held, false, error));
    EXPECT_EQ(ReadAll(fs.OpenRead(held, error).get(), error), "abc");
    // While it is open, as the log is given its name.
    EXPECT_TRUE(fs.Rename(made, held, true, error)) << Describe(error);
    EXPECT_TRUE(file->Close(error));
    EXPECT_EQ(ReadAll(fs.OpenRead(held, error).get(), error), "new");
    EXPECT_TRUE(fs.Rename(held, made, false, error) && fs.Remove(made, error));
    EXPECT_FALSE(fs.Exists(made) || fs.Exists(held) || fs.Remove(made, error));
}

TEST_F(Tree, ResolvesEveryLinkDotAndDotDot) {
    temp.MakeDir("a");
#ifndef _WIN32
    const std::string base = std::filesystem::canonical(temp.path()).string();
#else
    const std::string base = temp.path();
#endif
    const std::string s = Sep(), sub = base + s + "sub", missing = sub + s + "missing";
    std::vector<std::pair<std::string, std::string>> rows = {
        // "" when it fails
        {"./sub/./", sub},        {"a/../sub", sub},         {"sub/inner", sub + s + "inner"},
        {"sub/missing", missing}, {"sub/missing/", missing}, {"missing/x", ""},
        {"sub/inner/x", ""}};
#ifndef _WIN32
    rows.insert(rows.end(), {{"dirlink/inner", sub + "/inner"},
                             {"dirlink/../a", base + "/a"},
                             {"dangling", base + "/nowhere"},
                             {"loop", ""}});
#endif
    for (const auto& [path, expected] : rows) {
        std::string resolved;
        EXPECT_EQ(fs.Resolve(temp.Path(path), resolved, error), !expected.empty()) << path;
        EXPECT_EQ(resolved, expected) << path;
    }
}

// The current directory and drive, and absolute paths.
TEST_F(Tree, SetsAndGetsTheCurrentDirAndDriveAndFullPaths) {
    std::string saved, c, after, s = Sep();
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

// Uncached reads, into the caller's aligned buffer or through a bounce buffer; and which errors
// say that the file system takes none.
TEST_F(Tree, ReadsFromTheMediumAndTellsWhenTheFileSystemTakesNoUncachedReads) {
    for (const auto& [size, block, skew] : {std::tuple<size_t, size_t, size_t>{0, 4096, 0},
                                            {4097, 3000, 1},
                                            {(size_t{2} << 20) + 5, 1024, 0}}) {
        temp.WriteFile("f", Bytes(size));
        EXPECT_TRUE(ReadAll(fs.OpenReadFromMedium(temp.Path("f"), error).get(), error, block,
                            skew) == Bytes(size))
            << size << Describe(error);
    }
#ifdef _WIN32
    // ERROR_INVALID_PARAMETER, _NOT_SUPPORTED, _INVALID_FUNCTION; _ACCESS_DENIED, _FILE_NOT_FOUND
    const std::pair<int, bool> rows[] = {{87, true}, {50, true}, {1, true}, {5, false}, {2, false}};
#else
    const std::pair<int, bool> rows[] = {{EINVAL, true}, {EIO, false}, {EPERM, false}};
#endif
    for (const auto& [code, refuses] : rows)
        EXPECT_EQ(RefusesUncached(code), refuses) << code;
}

#ifndef _WIN32
// After a careless chmod -R 644: listed, but no entry can be examined. Listed in a child as
// uid and gid 65534 (as the current user when that is not root), whom the system refuses.
TEST_F(Tree, EntriesOfAnUnsearchableDirectoryAreUnreadable) {
    temp.WriteFile("dir/file", "x");
    temp.MakeDir("dir/sub");
    std::filesystem::create_symlink("nowhere", temp.Path("dir/dangling"));
    ASSERT_EQ(chmod(temp.Path("dir").c_str(), 0644), 0);
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
                               setresuid(65534, 65534, 65534) != 0))
            _exit(2);
        EXPECT_EQ(Listed(temp.Path("dir")),
                  (Names{"dangling unreadable", "file unreadable", "sub unreadable"}));
        _exit(testing::Test::HasFailure());
    }
    int status = 0;
    ASSERT_TRUE(child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "cannot drop to uid 65534";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's failure is above";
}
#endif

TEST_F(Tree, NoPathIsTooLong) {
#ifndef _WIN32
    // 600 levels of 8-byte names, made from inside: only the path is too long for the system.
    struct Deep {  // rm takes trees of any depth; a removal by path would not
        std::string root;
        ~Deep() { EXPECT_EQ(std::system(("rm -rf '" + root + "'").c_str()), 0); }
    } deep{temp.Path("c")};
    std::string dir = deep.root, cwd = Cwd();
    temp.MakeDir("c");
    ASSERT_EQ(chdir(dir.c_str()), 0);
    for (int i = 0; i < 600; ++i, dir += "/8-bytes.")
        EXPECT_TRUE(mkdir("8-bytes.", 0700) == 0 && chdir("8-bytes.") == 0);
    std::ofstream("f") << "deep";
    ASSERT_EQ(chdir(cwd.c_str()), 0);
    ASSERT_GT(dir.size(), size_t{PATH_MAX});
#else
    // Past the 260-character limit of plain Windows paths.
    std::string rel;
    while (temp.path().size() + rel.size() < 400)
        rel += std::string(40, 'd') + "長\\";
    temp.WriteFile(rel + "f", "deep");
    const std::string dir = temp.Path(rel.substr(0, rel.size() - 1));
#endif
    const std::string file = dir + Sep() + "f", made = dir + Sep() + "g";
    EXPECT_EQ(Listed(dir), Names{"f 4"});
    std::string resolved;
    EXPECT_EQ(ReadAll(fs.OpenRead(file, error).get(), error), "deep") << Describe(error);
    EXPECT_EQ(ReadAll(fs.OpenReadFromMedium(file, error).get(), error), "deep") << Describe(error);
    EXPECT_TRUE(fs.Exists(file));
    FileId id, same;
    EXPECT_TRUE(fs.Identify(dir, id, error) && fs.Identify(dir + Sep() + ".", same, error) &&
                id == same);
    EXPECT_TRUE(fs.Resolve(dir + Sep() + "." + Sep() + "g", resolved, error) && resolved == made);
    auto output = fs.CreateNew(made, error);
    EXPECT_TRUE(output && output->Write("g", 1, error) && output->Close(error)) << Describe(error);
    EXPECT_EQ(ReadAll(fs.OpenRead(made, error).get(), error), "g");
}

}  // namespace
}  // namespace platform
