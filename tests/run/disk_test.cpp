// Whole runs on real file systems, where the operating system is the point: the copy read
// from the medium and not from the page cache, file systems that refuse that, access times,
// links and FIFOs, and both trees left as they were.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/bytes.h"
#include "tests/support/main_window.h"
#include "tests/support/tempdir.h"

namespace test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const char kCacheNotice[] =
    "Notice>コピー先の一部のファイルはOSのキャッシュを経由して読み込まれました";

// Whether the file system holding file takes O_DIRECT reads.
bool TakesDirectReads(const std::string& file) {
    int fd = open(file.c_str(), O_RDONLY | O_DIRECT);
    void* buf = nullptr;
    bool ok = fd >= 0 && posix_memalign(&buf, 4096, 4096) == 0 && pread(fd, buf, 4096, 0) >= 0;
    free(buf);
    close(fd);
    return ok;
}

// Writes the file's pages out and asks the system to forget them.
void DropFromCache(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR);
    EXPECT_TRUE(fd >= 0 && fsync(fd) == 0 && posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0);
    close(fd);
}

// How many of the file's pages are in the page cache, and how many it has. Mapping the file
// counts as an access.
std::pair<size_t, size_t> ResidentPages(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY);
    size_t size = static_cast<size_t>(fs::file_size(path)), page = 4096;
    std::vector<unsigned char> in((size + page - 1) / page);
    void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    EXPECT_TRUE(map != MAP_FAILED && mincore(map, size, in.data()) == 0) << path;
    if (map != MAP_FAILED)
        munmap(map, size);
    return {std::ranges::count_if(in, [](unsigned char p) { return p & 1; }), in.size()};
}

class DiskTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        dlg.SetResultListener(
            [this](const std::string& line, const auto&) { lines.push_back(line); });
    }
    // A run from src to dst, every difference reported; the lines after the total size.
    Lines Run(const std::string& src, const std::string& dst, unsigned blockKB = 64) {
        lines.clear();
        user->Type(IDC_SRC_PATH, src);
        user->Type(IDC_DST_PATH, dst);
        user->Type(IDC_BLOCK_KB, std::to_string(blockKB));
        user->Type(IDC_DIFF_LIMIT, "999");
        test::SetMessageBoxHandler([](const auto&) { return static_cast<int>(IDOK); });
        user->Click(IDOK);
        auto start = std::find(lines.begin(), lines.end(), "＜チェックを開始します＞");
        Lines walk(start == lines.end() ? start : start + 1, lines.end());
        std::erase_if(walk, [](const std::string& l) {
            return l.find("時刻") != l.npos || l.starts_with("所用時間");
        });
        return walk;
    }
    bool Has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    TempDir tmp;
    Lines lines;
};

TEST_F(DiskTest, FindingsLinksAndFifosLeaveBothTreesAsTheyWere) {
    tmp.WriteFile("src/same", Bytes(3000));
    tmp.WriteFile("dst/same", Bytes(3000));
    tmp.WriteFile("src/differs", Bytes(3000));
    tmp.WriteFile("dst/differs", Flip(Bytes(3000), 2999));
    tmp.WriteFile("src/sub/missing", "x");
    tmp.MakeDir("dst/sub");
    fs::create_directory_symlink("..", tmp.Path("src/sub/up"));
    fs::create_symlink("nowhere", tmp.Path("src/dangling"));
    fs::create_symlink("nowhere", tmp.Path("dst/dangling"));
    ASSERT_EQ(mkfifo(tmp.Path("src/fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(tmp.Path("dst/fifo").c_str(), 0600), 0);
    tmp.WriteFile("src/hard", "h");  // copies that are the source itself
    fs::create_hard_link(tmp.Path("src/hard"), tmp.Path("dst/hard"));
    tmp.WriteFile("src/soft", "s");
    fs::create_symlink(tmp.Path("src/soft"), tmp.Path("dst/soft"));
    tmp.WriteFile("src/dir/f", "d");
    fs::create_directory_symlink(tmp.Path("src/dir"), tmp.Path("dst/dir"));
    auto src = tmp.Contents("src"), dst = tmp.Contents("dst");
    user->Click(IDC_KEEP_LOG);
    for (std::string log : {"src/sub/new.log", "dst/sub/../same", "check.log"}) {
        SCOPED_TRACE(log);
        user->Type(IDC_LOG_PATH, tmp.Path(log));
        // The FIFO and the dangling link are files checked by name, the link up is not
        // entered, and the changed and the missing file are findings, as are the links to
        // the source.
        Lines walk = Run(tmp.Path("src"), tmp.Path("dst"));
        EXPECT_EQ(
            Lines(walk.end() - 3, walk.end()),
            (Lines{"差違が発見されました。", "File total size：6004", "dir:3  file:7  error:5"}));
        EXPECT_TRUE(Has("ディレクトリ[" + tmp.Path("src/sub/up/") +
                        "]は上位のディレクトリと同じため、無視されます"));
        for (std::string same :
             {"hard]：コピー元と同じファイルです", "soft]：コピー元と同じファイルです",
              "dir/]：コピー元と同じディレクトリです"})
            EXPECT_TRUE(Has("[" + tmp.Path("dst/") + same)) << same;
        EXPECT_EQ(tmp.Contents("src"), src);
        EXPECT_EQ(tmp.Contents("dst"), dst);
    }
}

// Read from the medium unless asked for the cache, and without touching access times.
TEST_F(DiskTest, CopyIsReadFromTheMediumAndAccessTimesStay) {
    std::vector<std::string> names = {"one", "sub/two", "small"};
    std::vector<size_t> sizes = {256 * 1024, 300 * 1024 + 5, 5000};
    for (size_t i = 0; i < names.size(); ++i)
        for (const std::string side : {"src/", "dst/"})
            tmp.WriteFile(side + names[i], Bytes(sizes[i], static_cast<unsigned>(i)));
    if (!TakesDirectReads(tmp.Path("dst/one")))
        GTEST_SKIP() << "the temporary directory " << tmp.path() << " takes no O_DIRECT reads";
    // An access time before the modification time is one a read updates, relatime or not.
    auto atime = [](const std::string& path, bool set) {
        struct timespec times[2] = {{1000000000, 0}, {0, UTIME_OMIT}};
        struct stat st;
        EXPECT_EQ(set ? utimensat(AT_FDCWD, path.c_str(), times, 0) : stat(path.c_str(), &st), 0);
        return set ? 0 : st.st_atim.tv_sec;
    };
    for (bool cached : {false, true}) {
        SCOPED_TRACE(cached);
        for (const std::string& name : names) {
            for (const char* side : {"src/", "dst/"})
                DropFromCache(tmp.Path(side + name));
            if (ResidentPages(tmp.Path("dst/" + name)).first != 0)
                GTEST_SKIP() << "the system keeps the pages of " << name << " after DONTNEED";
            for (const char* side : {"src/", "dst/"})  // mapping to see the pages counts too
                atime(tmp.Path(side + name), true);
        }
        atime(tmp.Path("src/sub"), true);  // listed
        dlg.SetCached(cached);
        Run(tmp.Path("src"), tmp.Path("dst"));
        EXPECT_TRUE(Has("双方のパスの内容に差違はありませんでした。"));
        EXPECT_FALSE(Has(kCacheNotice));
        EXPECT_EQ(atime(tmp.Path("src/sub"), false), 1000000000);
        for (const std::string& name : names) {
            EXPECT_EQ(atime(tmp.Path("src/" + name), false), 1000000000);
            EXPECT_EQ(atime(tmp.Path("dst/" + name), false), 1000000000);
            auto [resident, pages] = ResidentPages(tmp.Path("dst/" + name));
            EXPECT_EQ(resident, cached ? pages : 0) << name;
            // A source of one block is read through the cache (what shows that mincore sees
            // reads), a longer one not in it from the medium, unless the cache is asked for.
            auto [srcResident, srcPages] = ResidentPages(tmp.Path("src/" + name));
            if (cached || name == "small")
                EXPECT_EQ(srcResident, srcPages) << name;
            else
                EXPECT_LT(srcResident, srcPages / 2) << name;
        }
    }
    // Its last byte, read past the cache on both sides, is compared too.
    tmp.WriteFile("dst/sub/two", Flip(Bytes(sizes[1], 1), sizes[1] - 1));
    for (const char* side : {"src/sub/two", "dst/sub/two"})
        DropFromCache(tmp.Path(side));
    dlg.SetCached(false);
    Run(tmp.Path("src"), tmp.Path("dst"));
    EXPECT_TRUE(Has("[" + tmp.Path("src/sub/two") + "]：ファイルの内容が異なっています"));
}

// sysfs refuses O_DIRECT, as tmpfs did before Linux 6.6: its files stand for a copy on a
// file system without uncached reads.
TEST_F(DiskTest, FileSystemWithoutUncachedReadsGivesTheSameFindingsAndOneNotice) {
    const std::string sys = "/sys/kernel/mm/transparent_hugepage";
    std::ifstream a(sys + "/enabled"), b(sys + "/defrag");
    std::string enabled(std::istreambuf_iterator<char>(a), {}),
        defrag(std::istreambuf_iterator<char>(b), {});
    if (enabled.empty() || defrag.empty() || TakesDirectReads(sys + "/enabled"))
        GTEST_SKIP() << "no file system refusing O_DIRECT at " << sys;
    tmp.WriteFile("src/enabled", enabled);
    tmp.WriteFile("src/defrag", defrag.substr(0, defrag.size() - 1) + "!");
    tmp.WriteFile("src/not-there", "x");
    tmp.WriteFile("copy/enabled", enabled);
    tmp.WriteFile("copy/defrag", defrag);
    Lines onDisk = Run(tmp.Path("src"), tmp.Path("copy"), 1);
    Lines onSysfs = Run(tmp.Path("src"), sys, 1);
    // Line for line as on the disk, but for the copy's path and the notice after the end.
    for (std::string& line : onDisk)
        if (size_t at = line.find(tmp.Path("copy")); at != line.npos)
            line.replace(at, tmp.Path("copy").size(), sys);
    onDisk.insert(std::find(onDisk.begin(), onDisk.end(), "チェック終了") + 1, kCacheNotice);
    EXPECT_EQ(onSysfs, onDisk);
    EXPECT_EQ(dlg.LastRun().differences, 2u);
    user->Click(IDC_NAMES_ONLY);  // nothing of the copy is read, so nothing to tell
    Run(tmp.Path("src"), sys, 1);
    EXPECT_FALSE(Has(kCacheNotice));
}

}  // namespace
}  // namespace test
