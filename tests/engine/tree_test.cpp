// The walk, the scan and the comparison together on real trees in a temporary directory.
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/bytes.h"
#include "tests/support/tempdir.h"

#ifndef _WIN32
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace test {
namespace {

namespace fs = std::filesystem;

using Lines_ = std::vector<std::string>;

fs::path Native(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// Every entry under root: its kind and, for a file, its bytes.
std::map<std::string, std::string> Snapshot(const TempDir& tmp, const std::string& root) {
    std::map<std::string, std::string> entries;
    fs::path base = Native(tmp.Path(root));
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(base)) {
        std::u8string rel = fs::relative(entry.path(), base).u8string();
        std::string name(rel.begin(), rel.end());
        if (entry.is_symlink() || !entry.is_regular_file()) {
            entries[name] = entry.is_directory() ? "<dir>" : "<other>";
        } else {
            entries[name] = tmp.ReadFile(root + "/" + name);
        }
    }
    return entries;
}

Lines_ Sorted(Lines_ lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

class TreeTest : public EngineTest {
protected:
    void Both(const std::string& rel, const std::string& bytes) {
        tmp.WriteFile("src/" + rel, bytes);
        tmp.WriteFile("dst/" + rel, bytes);
    }
    std::string Src(const std::string& rel = "") const { return tmp.Path("src") + S + rel; }
    std::string Dst(const std::string& rel = "") const { return tmp.Path("dst") + S + rel; }
    std::string Dir(const std::string& rel = "") const { return "Diredtory [ " + Src(rel) + " ]"; }
    std::string File(const std::string& rel) const { return "File [" + Src(rel) + "]"; }

    TempDir tmp;
};

TEST_F(TreeTest, EveryFindingOnceAndBothTreesUntouched) {
    Both("日本語%s%d.txt", "テキスト");
    Both("😀/絵文字😀.bin", Bytes(2048));  // an exact multiple of the block
    Both("nested/deeper/f", "f");
    tmp.MakeDir("src/empty");
    tmp.WriteFile("src/missing.txt", "only here");
    tmp.WriteFile("src/longer", Bytes(1024));
    tmp.WriteFile("dst/longer", Bytes(1025));
    tmp.WriteFile("src/shorter", Bytes(1025));
    tmp.WriteFile("dst/shorter", Bytes(1024));
    tmp.WriteFile("src/last", Bytes(3000));
    tmp.WriteFile("dst/last", Flip(Bytes(3000), 1023));  // the last byte of the first block
    tmp.WriteFile("src/next", Bytes(3000));
    tmp.WriteFile("dst/next", Flip(Bytes(3000), 1024));  // the first byte of the second
    tmp.WriteFile("dst/only-at-destination", "ignored");
    auto src = Snapshot(tmp, "src");
    auto dst = Snapshot(tmp, "dst");

    Check(tmp.Path("src"), tmp.Path("dst"));

    Lines_ lines = Lines();
    EXPECT_EQ(lines.front(), Dir());
    EXPECT_EQ(Sorted(lines),
              Sorted({Dir(), File("日本語%s%d.txt"), Dir("😀" + S), File("😀" + S + "絵文字😀.bin"),
                      Dir("nested" + S), Dir("nested" + S + "deeper" + S),
                      File("nested" + S + "deeper" + S + "f"), Dir("empty" + S),
                      File("missing.txt"), "[" + Dst("missing.txt") + "]：コピー先に存在しません",
                      File("longer"), "[" + Src("longer") + "]：ファイルのサイズが異なっています",
                      File("shorter"), "[" + Src("shorter") + "]：ファイルのサイズが異なっています",
                      File("last"), "[" + Src("last") + "]：ファイルの内容が異なっています",
                      File("next"), "[" + Src("next") + "]：ファイルの内容が異なっています"}));
    // Each finding right after its file's line.
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].starts_with("[")) {
            EXPECT_TRUE(lines[i - 1].starts_with("File [")) << i;
        }
    }
    EXPECT_EQ(dlg.m_nDirCount, 4u);
    EXPECT_EQ(dlg.m_nFileCount, 8u);
    EXPECT_EQ(dlg.m_nDiffCount, 5u);
    EXPECT_EQ(dlg.m_nDoneBytes, dlg.m_nTotalBytes);
    EXPECT_EQ(Snapshot(tmp, "src"), src);
    EXPECT_EQ(Snapshot(tmp, "dst"), dst);
}

TEST_F(TreeTest, RootWithAndWithoutTrailingSeparator) {
    Both("a/b", "b");
    Both("c", "c");
    Check(tmp.Path("src"), tmp.Path("dst"));
    Lines_ bare = Lines();
    uint64_t total = dlg.m_nTotalBytes;
    ForgetLines();
    dlg.m_nTotalBytes = 0;
    Check(tmp.Path("src") + S, tmp.Path("dst") + S);
    EXPECT_EQ(Lines(), bare);
    EXPECT_EQ(dlg.m_nTotalBytes, total);
    EXPECT_EQ(bare.front(), Dir());
}

TEST_F(TreeTest, LimitReachedStopsComparingButNotCounting) {
    for (const char* name : {"x/a", "x/b", "x/c", "y/d"})
        tmp.WriteFile(std::string("src/") + name, "1");
    tmp.MakeDir("dst");
    dlg.m_nDiffLimit = 1;
    Check(tmp.Path("src"), tmp.Path("dst"));
    Lines_ lines = Lines();
    auto count = [&](const std::string& prefix) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.starts_with(prefix); });
    };
    // Whichever directory comes first is walked to its end; the other is not entered.
    EXPECT_EQ(count("Diredtory [ "), 2);
    EXPECT_EQ(count("["), 1);
    EXPECT_EQ(count("File ["), lines[1] == Dir("x" + S) ? 3 : 1);
    EXPECT_EQ(dlg.m_nDirCount, 2u);
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
}

#ifndef _WIN32

TEST_F(TreeTest, LinksBackToAnAncestorAreNotEntered) {
    Both("a/f", "f");
    fs::create_directory_symlink("..", Native(Src("a" + S + "up")));
    fs::create_directory_symlink(".", Native(Src("self")));
    Check(tmp.Path("src"), tmp.Path("dst"));
    const std::string ancestor = "]は上位のディレクトリと同じため、無視されます";
    EXPECT_EQ(Sorted(Lines()), Sorted({Dir(), Dir("a" + S), File("a" + S + "f"),
                                       "ディレクトリ[" + Src("a" + S + "up" + S) + ancestor,
                                       "ディレクトリ[" + Src("self" + S) + ancestor}));
    EXPECT_EQ(dlg.m_nDirCount, 3u);
    EXPECT_EQ(dlg.m_nDiffCount, 0u);
    EXPECT_EQ(dlg.m_nTotalBytes, 1u);
    EXPECT_EQ(dlg.m_nDoneBytes, 1u);
}

TEST_F(TreeTest, FifosAndDanglingLinksAreCheckedByName) {
    tmp.MakeDir("src");
    tmp.MakeDir("dst");
    for (const std::string& fifo : {Src("p"), Dst("p"), Src("q")})
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("nowhere", Native(Src("dangling")));
    fs::create_symlink("nowhere", Native(Dst("dangling")));
    fs::create_symlink("nowhere", Native(Src("gone")));
    Check(tmp.Path("src"), tmp.Path("dst"));
    EXPECT_EQ(Sorted(Lines()), Sorted({Dir(), File("p"), File("q"), File("dangling"), File("gone"),
                                       "[" + Dst("q") + "]：コピー先に存在しません",
                                       "[" + Dst("gone") + "]：コピー先に存在しません"}));
    EXPECT_EQ(dlg.m_nFileCount, 4u);
    EXPECT_EQ(dlg.m_nDiffCount, 2u);
}

TEST_F(TreeTest, DirectoryWhereTheSourceHasAFileIsMissing) {
    tmp.WriteFile("src/f", "f");
    tmp.MakeDir("dst/f");
    Check(tmp.Path("src"), tmp.Path("dst"));
    EXPECT_EQ(Lines(), (Lines_{Dir(), File("f"), "[" + Dst("f") + "]：コピー先に存在しません"}));
}

// A chain of directories named name, made one level at a time below base so that it can
// go past the longest path the system takes, with the file "f" holding content at the
// bottom. It is reached through a directory handle kept every kStride levels, so that no
// path handed to the system gets long and the cost stays linear in the depth.
class DeepChain {
public:
    DeepChain(const std::string& base, const std::string& name, int depth,
              const std::string& content)
        : m_name(name), m_depth(depth) {
        int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < depth && fd >= 0; ++i) {
            if (i % kStride == 0)
                m_handles.push_back(dup(fd));
            mkdirat(fd, name.c_str(), 0700);
            int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
            close(fd);
            fd = next;
        }
        EXPECT_GE(fd, 0);
        int file = openat(fd, "f", O_WRONLY | O_CREAT, 0600);
        EXPECT_EQ(write(file, content.data(), content.size()), ssize_t(content.size()));
        close(file);
        close(fd);
    }
    ~DeepChain() {
        unlinkat(m_handles.back(), (Below(m_depth - 1) + "/f").c_str(), 0);
        for (int level = m_depth - 1; level >= 0; --level)
            unlinkat(m_handles[level / kStride], Below(level).c_str(), AT_REMOVEDIR);
        for (int handle : m_handles)
            close(handle);
    }

private:
    static constexpr int kStride = 10;

    // The directory at level (0 is the first below base), relative to its handle.
    std::string Below(int level) const {
        std::string rel = m_name;
        for (int i = level % kStride; i > 0; --i)
            rel += "/" + m_name;
        return rel;
    }

    std::string m_name;
    int m_depth;
    std::vector<int> m_handles;  // the directory above levels 0, kStride, 2 * kStride, ...
};

TEST_F(TreeTest, TwoThousandLevelsDeep) {
    tmp.MakeDir("src");
    tmp.MakeDir("dst");
    DeepChain src(Src(), "a", 2000, "deep");
    DeepChain dst(Dst(), "a", 2000, "deep");
    KeepLog();
    Check(tmp.Path("src"), tmp.Path("dst"));
    Lines_ lines = LoggedLines();
    std::string rel;
    for (int i = 0; i < 2000; ++i)
        rel += "a" + S;
    ASSERT_EQ(lines.size(), 2002u);
    EXPECT_EQ(lines[2000], Dir(rel));
    EXPECT_EQ(lines[2001], File(rel + "f"));
    EXPECT_EQ(dlg.m_nDirCount, 2000u);
    EXPECT_EQ(dlg.m_nFileCount, 1u);
    EXPECT_EQ(dlg.m_nDiffCount, 0u);
    EXPECT_EQ(dlg.m_nTotalBytes, 4u);
    EXPECT_EQ(dlg.m_nDoneBytes, 4u);
}

TEST_F(TreeTest, PathTooLongForTheSystemIsADirectoryThatCannotBeListed) {
    tmp.MakeDir("src");
    tmp.MakeDir("dst");
    DeepChain src(Src(), std::string(255, 'n'), 17, "deep");
    KeepLog();
    Check(tmp.Path("src"), tmp.Path("dst"));
    // The log is in code page 932, and the denial's line break is a line of its own there.
    Lines_ lines = LoggedLines();
    ASSERT_GE(lines.size(), 5u);
    std::string tooLong = lines[lines.size() - 3];
    ASSERT_TRUE(tooLong.starts_with("Diredtory [ ")) << tooLong;
    std::string path = tooLong.substr(12, tooLong.size() - 14);
    EXPECT_GE(path.size() + 1, size_t{PATH_MAX});
    const std::string denied = platform::Utf8ToCp932("]にアクセスできませんでした") + "\r";
    const std::string ignored = platform::Utf8ToCp932("このディレクトリは無視されます");
    EXPECT_EQ(lines[0], platform::Utf8ToCp932("CheckTotalSize:ディレクトリ[") + path + denied);
    EXPECT_EQ(lines[1], ignored);
    EXPECT_EQ(lines[lines.size() - 2], platform::Utf8ToCp932("ディレクトリ[") + path + denied);
    EXPECT_EQ(lines.back(), ignored);
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(dlg.m_nTotalBytes, 0u);
}

#endif

}  // namespace
}  // namespace test
