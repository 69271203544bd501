// The system's own file system on a real disk, where what the system does is the point.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/fs.h"
#include "tests/support/tempdir.h"

#ifndef _WIN32
#include <sys/stat.h>

#include "tests/support/deep_chain.h"
#include "tests/support/unprivileged.h"
#endif

namespace platform {
namespace {

namespace stdfs = std::filesystem;
FileSystem& fs = RealFileSystem();
stdfs::path U8(const std::string& utf8) {
    return std::u8string(utf8.begin(), utf8.end());
}
std::string Utf8(const stdfs::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Each entry of dir by name: "dir", "file <size>", "special" (checked by name only) or
// "unreadable"; ids holds the identities.
std::map<std::string, std::string> Kinds(const std::string& dir,
                                         std::map<std::string, FileId>* ids = nullptr) {
    std::vector<DirEntry> entries;
    Error error;
    EXPECT_TRUE(fs.List(dir, entries, error)) << Describe(error);
    std::map<std::string, std::string> kinds;
    for (const DirEntry& e : entries) {
        kinds[e.name] += e.unreadable  ? "unreadable"
                         : e.isDir     ? "dir"
                         : e.isRegular ? "file " + std::to_string(e.size)
                                       : "special";
        if (ids && e.hasId)
            (*ids)[e.name] = e.id;
    }
    EXPECT_EQ(kinds.size(), entries.size());
    return kinds;
}

FileId IdOf(const std::string& path) {
    FileId id;
    Error error;
    EXPECT_TRUE(fs.Identify(path, id, error)) << Describe(error);
    return id;
}

// What OpenRead and one Read give; "-" when either fails.
std::string ReadAll(const std::string& path, Error& error) {
    auto file = fs.OpenRead(path, error);
    std::string bytes(64, '\0');
    size_t got = 0;
    return file && file->Read(bytes.data(), bytes.size(), got, error) ? bytes.substr(0, got) : "-";
}

TEST(List, KindsSizesIdentitiesAndExistence) {
    TempDir temp;
    temp.WriteFile("日本語 😀.txt", "abc");
    temp.WriteFile(".hidden", "");
    temp.WriteFile("sub/inner", "x");
    temp.MakeDir("a.txt");
    std::map<std::string, std::string> expected = {
        {"日本語 😀.txt", "file 3"}, {".hidden", "file 0"}, {"sub", "dir"}, {"a.txt", "dir"}};
#ifndef _WIN32
    stdfs::create_directory_symlink("sub", temp.Path("dirlink"));
    stdfs::create_symlink(temp.Path("日本語 😀.txt"), temp.Path("filelink"));
    stdfs::create_symlink("nowhere", temp.Path("dangling"));
    stdfs::create_symlink("loop2", temp.Path("loop1"));
    stdfs::create_symlink("loop1", temp.Path("loop2"));
    ASSERT_EQ(mkfifo(temp.Path("fifo").c_str(), 0600), 0);
    expected.insert({{"dirlink", "dir"},
                     {"filelink", "file 3"},
                     {"dangling", "special"},
                     {"loop1", "special"},
                     {"loop2", "special"},
                     {"fifo", "special"}});
    EXPECT_EQ(IdOf(temp.Path("dirlink")), IdOf(temp.Path("sub")));
#endif
    std::map<std::string, FileId> ids;
    EXPECT_EQ(Kinds(temp.path() + Sep(), &ids), expected);
    for (const auto& [name, kind] : expected) {
        EXPECT_TRUE(fs.Exists(temp.Path(name))) << name;
        EXPECT_TRUE(kind != "dir" || ids[name] == IdOf(temp.Path(name))) << name;
    }
    EXPECT_NE(ids["sub"], ids["a.txt"]);
    // The engine compares listings in the order the system gives; nothing may re-sort them.
    std::vector<std::string> order, listed;
    for (const auto& entry : stdfs::directory_iterator(U8(temp.path())))
        order.push_back(Utf8(entry.path().filename()));
    std::vector<DirEntry> entries;
    Error error;
    EXPECT_TRUE(fs.List(temp.path(), entries, error));
    for (const DirEntry& entry : entries)
        listed.push_back(entry.name);
    EXPECT_EQ(listed, order);
    FileId id;
    for (const std::string& missing : {temp.Path("missing"), temp.Path("missing/below"), {}}) {
        EXPECT_FALSE(fs.Exists(missing));
        EXPECT_FALSE(fs.Identify(missing, id, error) || error.path != missing);
        EXPECT_FALSE(fs.List(missing, entries, error) || error.path != missing);
    }
    EXPECT_FALSE(fs.List(temp.Path(".hidden"), entries, error) || error.call.empty());
}

TEST(List, PulsesEvery256Entries) {
    TempDir temp;
    for (const auto& [count, pulses] : {std::pair{255, 0}, {256, 1}, {511, 1}, {512, 2}}) {
        std::string dir = std::to_string(count);
        for (int i = 0; i < count; ++i)
            temp.WriteFile(dir + "/" + std::to_string(i), "");
        int heard = 0;
        fs.SetPulse([&heard] { ++heard; });
        EXPECT_EQ(Kinds(temp.Path(dir)).size(), static_cast<size_t>(count));
        EXPECT_EQ(heard, pulses) << count;
    }
    fs.SetPulse(nullptr);
}

#ifndef _WIN32
// After a careless chmod -R 644: listed, but no entry can be examined.
TEST(List, EntriesOfAnUnsearchableDirectoryAreUnreadable) {
    TempDir temp;
    temp.WriteFile("dir/file", "x");
    temp.MakeDir("dir/sub");
    stdfs::create_symlink("nowhere", temp.Path("dir/dangling"));
    ASSERT_EQ(chmod(temp.Path("dir").c_str(), 0644), 0);
    std::string text;
    auto list = [&] {
        std::string out;
        for (const auto& [name, kind] : Kinds(temp.Path("dir")))
            out += name + " " + kind + ", ";
        return out;
    };
    if (!RunUnprivileged(list, text))
        GTEST_SKIP() << text;
    EXPECT_EQ(text, "dangling unreadable, file unreadable, sub unreadable, ");
}
#endif

// Only regular files are read, or made and emptied for the log; nothing waits.
TEST(OpenAndCreate, RegularFilesOnly) {
    TempDir temp;
    temp.WriteFile("日本語 😀 %.txt", "content");
    temp.MakeDir("dir");
    std::vector<std::tuple<std::string, std::string, bool>> rows = {
        // read, then made
        {temp.Path("日本語 😀 %.txt"), "content", true},
        {temp.Path("new"), "-", true},
        {temp.Path("dir"), "-", false},
        {temp.Path("missing/x"), "-", false}};
#ifndef _WIN32
    ASSERT_EQ(mkfifo(temp.Path("fifo").c_str(), 0600), 0);  // without a reader or a writer
    rows.insert(rows.end(), {{temp.Path("fifo"), "-", false}, {"/dev/null", "-", false}});
#else
    rows.push_back({"NUL", "-", false});
#endif
    for (const auto& [path, read, made] : rows) {
        Error error;
        EXPECT_EQ(ReadAll(path, error), read) << path;
        EXPECT_EQ(error.path, read == "-" ? path : "");
        EXPECT_EQ(fs.OpenReadFromMedium(path, error) != nullptr, read != "-") << path;
        error = {};
        auto file = fs.Create(path, error);
        EXPECT_EQ(error.path, made ? "" : path);
        EXPECT_TRUE(!made || (file && file->Write("ab", 2, error) && file->Close(error)));
        EXPECT_EQ(ReadAll(path, error), made ? "ab" : read) << path;
    }
    Error error;
    auto unclosed = fs.Create(temp.Path("new"), error);
    ASSERT_TRUE(unclosed && unclosed->Write("xyz", 3, error));
    unclosed.reset();
    EXPECT_EQ(temp.ReadFile("new"), "xyz");
}

TEST(Resolve, EveryLinkDotAndDotDot) {
    TempDir temp;
    temp.MakeDir("d/e");
    temp.WriteFile("d/f", "");
    const std::string s = Sep(), d = Sep() + "d";
#ifndef _WIN32
    const std::string base = stdfs::canonical(temp.path()).string();
#else
    const std::string base = temp.path();
#endif
    std::vector<std::pair<std::string, std::string>> rows = {
        // "" when it fails
        {"d/e", base + d + s + "e"},
        {"d/./e/", base + d + s + "e"},
        {"d/e/..", base + d},
        {"d/missing", base + d + s + "missing"},
        {"d/missing/", base + d + s + "missing"},
        {"missing/x", ""},
        {"d/f/x", ""}};
#ifndef _WIN32
    stdfs::create_directory_symlink("d", temp.Path("l"));
    stdfs::create_symlink("nowhere", temp.Path("dangling"));
    stdfs::create_symlink("loop", temp.Path("loop"));
    rows.insert(rows.end(), {{"l/e", base + "/d/e"},
                             {"l/../d", base + "/d"},
                             {"dangling", base + "/nowhere"},
                             {"loop", ""}});
#endif
    for (const auto& [path, expected] : rows) {
        std::string resolved;
        Error error;
        EXPECT_EQ(fs.Resolve(temp.Path(path), resolved, error), !expected.empty()) << path;
        EXPECT_EQ(resolved, expected) << path;
    }
}

TEST(LongPath, NoPathIsTooLong) {
    TempDir temp;
#ifndef _WIN32
    // Only the path string is too long for the system; the tree is sound.
    DeepChain chain(temp.path(), "8-bytes.", 600);
    chain.WriteFile("f", "deep");
    const std::string dir = chain.path();
    ASSERT_GT(dir.size(), size_t{PATH_MAX});
#else
    // Below the 260-character limit of plain Windows paths.
    std::string rel;
    while (temp.path().size() + rel.size() < 400)
        rel += std::string(40, 'd') + "長\\";
    temp.WriteFile(rel + "f", "deep");
    const std::string dir = temp.Path(rel.substr(0, rel.size() - 1));
#endif
    const std::string file = dir + Sep() + "f", made = dir + Sep() + "g";
    EXPECT_EQ(Kinds(dir), (std::map<std::string, std::string>{{"f", "file 4"}}));
    Error error;
    EXPECT_EQ(ReadAll(file, error), "deep") << Describe(error);
    EXPECT_NE(fs.OpenReadFromMedium(file, error), nullptr) << Describe(error);
    EXPECT_TRUE(fs.Exists(file));
    EXPECT_EQ(IdOf(dir + Sep() + "."), IdOf(dir));
    std::string resolved;
    EXPECT_TRUE(fs.Resolve(dir + Sep() + "." + Sep() + "g", resolved, error)) << Describe(error);
    EXPECT_EQ(resolved, made);
    auto output = fs.Create(made, error);
    EXPECT_TRUE(output && output->Write("g", 1, error) && output->Close(error)) << Describe(error);
    EXPECT_EQ(ReadAll(made, error), "g");
}

}  // namespace
}  // namespace platform
