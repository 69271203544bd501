// Whole runs on real file systems: the copy is read from the medium, not from the page cache;
// where the file system refuses that, the run says so once; access times stay as they were.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/run/page_cache.h"
#include "tests/support/bytes.h"
#include "tests/support/main_window.h"
#include "tests/support/tempdir.h"

namespace {

using test::DropFromCache;
using test::ResidentPages;
using test::TakesDirectReads;

const char kNotice[] = "Notice>コピー先の一部のファイルはOSのキャッシュを経由して読み込まれました";

class MediumRunTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        dlg.SetResultListener(
            [this](const std::string& line, const auto&) { lines.push_back(line); });
    }

    // Starts a run from src to dst with the given block size and confirms it.
    void Run(const std::string& src, const std::string& dst, unsigned blockKB = 64) {
        lines.clear();
        user->Type(IDC_SRC_PATH, src);
        user->Type(IDC_DST_PATH, dst);
        user->Type(IDC_BLOCK_KB, std::to_string(blockKB));
        user->Type(IDC_DIFF_LIMIT, "999");
        fw::headless::AnswerMessageBox(IDOK);
        user->Click(IDOK);
    }

    // The lines from the one after "チェック終了", with the times left out.
    std::vector<std::string> AfterTheEnd() const {
        auto end = std::find(lines.begin(), lines.end(), "チェック終了");
        EXPECT_NE(end, lines.end());
        std::vector<std::string> after(end == lines.end() ? end : end + 1, lines.end());
        std::erase_if(after, [](const std::string& l) {
            return l.find("時刻") != l.npos || l.starts_with("所用時間");
        });
        return after;
    }

    size_t Count(const std::string& line) const {
        return std::count(lines.begin(), lines.end(), line);
    }

    TempDir tmp;
    std::vector<std::string> lines;
};

TEST_F(MediumRunTest, CopyIsReadFromTheMediumAndThroughTheCacheOnlyWhenAsked) {
    std::vector<std::string> names = {"one", "sub/two", "sub/three", "small"};
    std::vector<size_t> sizes = {256 * 1024, 300 * 1024 + 5, 64 * 1024, 5000};
    for (size_t i = 0; i < names.size(); ++i) {
        tmp.WriteFile("src/" + names[i], Bytes(sizes[i], static_cast<unsigned>(i)));
        tmp.WriteFile("dst/" + names[i], Bytes(sizes[i], static_cast<unsigned>(i)));
    }
    if (!TakesDirectReads(tmp.Path("dst/one")))
        GTEST_SKIP() << "the temporary directory " << tmp.path() << " takes no O_DIRECT reads";
    auto dropAll = [&] {
        for (const std::string& name : names) {
            DropFromCache(tmp.Path("src/" + name));
            DropFromCache(tmp.Path("dst/" + name));
        }
    };
    dropAll();
    for (const std::string& name : names)
        if (ResidentPages(tmp.Path("dst/" + name)).first != 0)
            GTEST_SKIP() << "the system keeps the pages of " << name << " after DONTNEED";

    Run(tmp.Path("src"), tmp.Path("dst"));
    EXPECT_EQ(Count("双方のパスの内容に差違はありませんでした。"), 1u);
    EXPECT_EQ(Count(kNotice), 0u);
    EXPECT_EQ(dlg.m_nFileCount, names.size());
    for (const std::string& name : names) {
        EXPECT_EQ(ResidentPages(tmp.Path("dst/" + name)).first, 0u) << "copy " << name;
        // The source is read through the cache: what shows that mincore sees reads.
        auto [resident, pages] = ResidentPages(tmp.Path("src/" + name));
        EXPECT_EQ(resident, pages) << "source " << name;
    }

    dropAll();
    dlg.m_bCached = true;
    Run(tmp.Path("src"), tmp.Path("dst"));
    EXPECT_EQ(Count("双方のパスの内容に差違はありませんでした。"), 1u);
    EXPECT_EQ(Count(kNotice), 0u);
    for (const std::string& name : names) {
        auto [resident, pages] = ResidentPages(tmp.Path("dst/" + name));
        EXPECT_EQ(resident, pages) << "copy " << name;
    }
}

// sysfs refuses O_DIRECT, as tmpfs did before Linux 6.6: its files stand for a copy on a
// file system without uncached reads.
const char kSysfsDir[] = "/sys/kernel/mm/transparent_hugepage";

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(MediumRunTest, FileSystemWithoutUncachedReadsGivesTheSameFindingsAndOneNotice) {
    const std::string sys = kSysfsDir;
    std::string enabled = ReadWhole(sys + "/enabled");
    std::string defrag = ReadWhole(sys + "/defrag");
    if (enabled.empty() || defrag.empty() || TakesDirectReads(sys + "/enabled"))
        GTEST_SKIP() << "no file system refusing O_DIRECT at " << sys;
    // The same tree against sysfs and against a copy of it on the temporary directory.
    tmp.WriteFile("src/enabled", enabled);
    tmp.WriteFile("src/defrag", defrag.substr(0, defrag.size() - 1) + "!");
    tmp.WriteFile("src/not-there", "x");
    tmp.WriteFile("copy/enabled", enabled);
    tmp.WriteFile("copy/defrag", defrag);

    Run(tmp.Path("src"), tmp.Path("copy"), 1);
    std::vector<std::string> onDisk = lines;
    auto disk = AfterTheEnd();
    Run(tmp.Path("src"), sys, 1);
    EXPECT_EQ(Count(kNotice), 1u);
    EXPECT_EQ(Count("[" + tmp.Path("src/defrag") + "]：ファイルの内容が異なっています"), 1u);
    EXPECT_EQ(Count("[" + sys + "/not-there]：コピー先に存在しません"), 1u);
    EXPECT_EQ(dlg.m_nDiffCount, 2u);
    // Line for line as on the disk, but for the copy's path and the notice after the end.
    std::vector<std::string> onSysfs = lines;
    auto sysfs = AfterTheEnd();
    ASSERT_FALSE(sysfs.empty());
    EXPECT_EQ(sysfs.front(), kNotice);
    sysfs.erase(sysfs.begin());
    EXPECT_EQ(sysfs, disk);
    auto end = [](const std::vector<std::string>& l) {
        return std::find(l.begin(), l.end(), "チェック終了") - l.begin();
    };
    ASSERT_EQ(end(onSysfs), end(onDisk));
    for (long i = 1; i < end(onDisk); ++i) {
        std::string expected = onDisk[static_cast<size_t>(i)];
        for (size_t at; (at = expected.find(tmp.Path("copy"))) != expected.npos;)
            expected.replace(at, tmp.Path("copy").size(), sys);
        EXPECT_EQ(onSysfs[static_cast<size_t>(i)], expected) << i;
    }

    // Names only: nothing of the copy is read, so nothing to tell.
    user->Click(IDC_NAMES_ONLY);
    Run(tmp.Path("src"), sys, 1);
    EXPECT_EQ(Count(kNotice), 0u);
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
}

// A directory of its own under /dev/shm, removed with all it holds.
class ShmDir {
public:
    ShmDir() {
        char name[] = "/dev/shm/copycheck-test-XXXXXX";
        if (mkdtemp(name) != nullptr)
            path = name;
    }
    ~ShmDir() {
        if (!path.empty())
            std::filesystem::remove_all(path);
    }
    std::string path;
};

TEST_F(MediumRunTest, TmpfsCopyIsCheckedAndTheNoticeFollowsWhatTheSystemAllows) {
    ShmDir shm;
    if (shm.path.empty())
        GTEST_SKIP() << "no /dev/shm";
    tmp.WriteFile("src/a", Bytes(200000));
    tmp.WriteFile("src/b", Bytes(3000));
    std::ofstream(shm.path + "/a", std::ios::binary) << Bytes(200000);
    std::ofstream(shm.path + "/b", std::ios::binary) << Bytes(3000, 1);
    // tmpfs has taken O_DIRECT since Linux 6.6; before, it refused it.
    bool direct = TakesDirectReads(shm.path + "/a");
    Run(tmp.Path("src"), shm.path, 4);
    EXPECT_EQ(Count("[" + tmp.Path("src/b") + "]：ファイルの内容が異なっています"), 1u);
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(Count(kNotice), direct ? 0u : 1u);
    if (!direct) {
        EXPECT_EQ(AfterTheEnd().front(), kNotice);
    }
}

TEST_F(MediumRunTest, AccessTimesOfBothSidesStayAsTheyWere) {
    tmp.WriteFile("src/f", Bytes(100000));
    tmp.WriteFile("dst/f", Bytes(100000));
    tmp.WriteFile("control", "x");
    // An access time before the modification time is one a read updates, relatime or not.
    auto setOld = [](const std::string& path) {
        struct timespec times[2] = {{1000000000, 0}, {0, UTIME_OMIT}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    auto atime = [](const std::string& path) {
        struct stat st;
        EXPECT_EQ(stat(path.c_str(), &st), 0);
        return st.st_atim.tv_sec;
    };
    setOld(tmp.Path("control"));
    ReadWhole(tmp.Path("control"));
    if (atime(tmp.Path("control")) == 1000000000)
        GTEST_SKIP() << "the temporary directory's mount does not record access times";

    for (bool cached : {false, true}) {
        SCOPED_TRACE(cached);
        setOld(tmp.Path("src/f"));
        setOld(tmp.Path("dst/f"));
        dlg.m_bCached = cached;
        Run(tmp.Path("src"), tmp.Path("dst"));
        EXPECT_EQ(Count("双方のパスの内容に差違はありませんでした。"), 1u);
        EXPECT_EQ(atime(tmp.Path("src/f")), 1000000000);
        EXPECT_EQ(atime(tmp.Path("dst/f")), 1000000000);
    }
}

}  // namespace
