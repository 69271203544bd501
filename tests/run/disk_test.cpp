// Whole runs on real file systems, where the operating system is the point: the copy read
// from the medium and not from the page cache, file systems that refuse that, access times,
// links and FIFOs, and both trees left as they were.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "tests/run/page_cache.h"
#include "tests/support/bytes.h"
#include "tests/support/main_window.h"
#include "tests/support/tempdir.h"

namespace test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const char kCacheNotice[] =
    "Notice>コピー先の一部のファイルはOSのキャッシュを経由して読み込まれました";
const char kSame[] = "双方のパスの内容に差違はありませんでした。";

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
        fw::headless::SetMessageBoxHandler([](const auto&) { return static_cast<int>(IDOK); });
        user->Click(IDOK);
        fw::headless::SetMessageBoxHandler(nullptr);
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

// Every entry under root with its bytes (or kind) and modification time.
std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        struct stat st;
        lstat(e.path().c_str(), &st);
        std::string what =
            std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
        if (e.is_regular_file() && !e.is_symlink()) {
            std::ifstream in(e.path(), std::ios::binary);
            what += std::string(std::istreambuf_iterator<char>(in), {});
        }
        out[e.path().string()] = what;
    }
    return out;
}

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
    auto src = Snapshot(tmp.Path("src")), dst = Snapshot(tmp.Path("dst"));
    user->Click(IDC_KEEP_LOG);
    for (std::string log : {"src/sub/new.log", "dst/sub/../same", "check.log"}) {
        SCOPED_TRACE(log);
        user->Type(IDC_LOG_PATH, tmp.Path(log));
        Lines walk = Run(tmp.Path("src"), tmp.Path("dst"));
        std::sort(walk.begin(), walk.end());
        Lines expected = {"Diredtory [ " + tmp.Path("src/") + " ]",
                          "Diredtory [ " + tmp.Path("src/sub/") + " ]",
                          "File [" + tmp.Path("src/same") + "]",
                          "File [" + tmp.Path("src/differs") + "]",
                          "[" + tmp.Path("src/differs") + "]：ファイルの内容が異なっています",
                          "File [" + tmp.Path("src/sub/missing") + "]",
                          "[" + tmp.Path("dst/sub/missing") + "]：コピー先に存在しません",
                          "ディレクトリ[" + tmp.Path("src/sub/up/") +
                              "]は上位のディレクトリと同じため、無視されます",
                          "File [" + tmp.Path("src/dangling") + "]",
                          "File [" + tmp.Path("src/fifo") + "]"};
        for (const char* closing :
             {"-------------------------------------------", "チェック終了",
              "差違が発見されました。", "File total size：6001", "dir:2  file:5  error:2"})
            expected.push_back(closing);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(walk, expected);
        EXPECT_EQ(Snapshot(tmp.Path("src")), src);
        EXPECT_EQ(Snapshot(tmp.Path("dst")), dst);
    }
}

// Read from the medium unless asked for the cache, and without touching access times.
TEST_F(DiskTest, CopyIsReadFromTheMediumAndAccessTimesStay) {
    std::vector<std::string> names = {"one", "sub/two", "small"};
    std::vector<size_t> sizes = {256 * 1024, 300 * 1024 + 5, 5000};
    for (size_t i = 0; i < names.size(); ++i) {
        tmp.WriteFile("src/" + names[i], Bytes(sizes[i], static_cast<unsigned>(i)));
        tmp.WriteFile("dst/" + names[i], Bytes(sizes[i], static_cast<unsigned>(i)));
    }
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
        dlg.m_bCached = cached;
        Run(tmp.Path("src"), tmp.Path("dst"));
        EXPECT_TRUE(Has(kSame));
        EXPECT_FALSE(Has(kCacheNotice));
        for (const std::string& name : names) {
            EXPECT_EQ(atime(tmp.Path("src/" + name), false), 1000000000);
            EXPECT_EQ(atime(tmp.Path("dst/" + name), false), 1000000000);
            auto [resident, pages] = ResidentPages(tmp.Path("dst/" + name));
            EXPECT_EQ(resident, cached ? pages : 0) << name;
            // The source is read through the cache: what shows that mincore sees reads.
            EXPECT_EQ(ResidentPages(tmp.Path("src/" + name)).first,
                      ResidentPages(tmp.Path("src/" + name)).second);
        }
    }
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
    EXPECT_EQ(dlg.m_nDiffCount, 2u);
    user->Click(IDC_NAMES_ONLY);  // nothing of the copy is read, so nothing to tell
    Run(tmp.Path("src"), sys, 1);
    EXPECT_FALSE(Has(kCacheNotice));
}

}  // namespace
}  // namespace test
