// Reading a file's two sides at the same time changes nothing a run shows: the same trees,
// faults and limits, run with and without overlap, give the same lines, counts, bars and calls.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/CopyCheckDlg.h"
#include "framework/headless/headless.h"
#include "platform/dirs.h"
#include "tests/support/bytes.h"
#include "tests/support/fake_fs.h"
#include "tests/support/tempdir.h"

namespace test {
namespace {

using Lines_ = std::vector<std::string>;

// The fake, noting which files were read on a thread other than the test's.
class ThreadNotingFileSystem : public FakeFileSystem {
public:
    std::unique_ptr<platform::InputFile> OpenRead(const std::string& path,
                                                  platform::Error& error) override {
        std::unique_ptr<platform::InputFile> file = FakeFileSystem::OpenRead(path, error);
        if (!file)
            return file;
        return std::make_unique<Noting>(std::move(file), path, *this);
    }

    std::set<std::string> ReadElsewhere() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_elsewhere;
    }

private:
    class Noting : public platform::InputFile {
    public:
        Noting(std::unique_ptr<platform::InputFile> file, std::string path,
               ThreadNotingFileSystem& fs)
            : m_file(std::move(file)), m_path(std::move(path)), m_fs(fs) {}
        bool Read(void* buf, size_t n, size_t& got, platform::Error& error) override {
            if (std::this_thread::get_id() != m_fs.m_testThread) {
                std::lock_guard<std::mutex> lock(m_fs.m_mutex);
                m_fs.m_elsewhere.insert(m_path);
            }
            return m_file->Read(buf, n, got, error);
        }

    private:
        std::unique_ptr<platform::InputFile> m_file;
        std::string m_path;
        ThreadNotingFileSystem& m_fs;
    };

    std::thread::id m_testThread = std::this_thread::get_id();
    std::mutex m_mutex;
    std::set<std::string> m_elsewhere;
};

// Everything a run shows or does, for one setting of the overlap.
struct Outcome {
    Lines_ lines;
    uint64_t dirs = 0, files = 0, diffs = 0, total = 0, done = 0;
    std::vector<unsigned> fileBar, totalBar;
    Lines_ callsButReads;              // in order: all made on the test's thread
    std::map<std::string, int> reads;  // per path
    std::set<std::string> readElsewhere;

    bool operator==(const Outcome& o) const {
        return lines == o.lines && dirs == o.dirs && files == o.files && diffs == o.diffs &&
               total == o.total && done == o.done && fileBar == o.fileBar &&
               totalBar == o.totalBar && callsButReads == o.callsButReads && reads == o.reads;
    }
};

struct Settings {
    unsigned blockKB = 1;
    unsigned limit = 999;
    size_t overlapMinBlock = 0;  // small blocks keep the trees small
};

Outcome RunOnce(bool overlap, const std::function<void(FakeFileSystem&)>& build, Settings settings,
                platform::FileSystem* real = nullptr, const std::string& src = "src",
                const std::string& dst = "dst") {
    ThreadNotingFileSystem fake;
    build(fake);
    CCopyCheckDlg dlg;
    dlg.Create();
    fw::headless::User user(dlg);
    Outcome out;
    dlg.SetResultListener([&](const std::string& line, const auto&) { out.lines.push_back(line); });
    dlg.SetFileSystem(real ? *real : fake);
    dlg.m_bOverlap = overlap;
    dlg.m_nOverlapMinBlock = settings.overlapMinBlock;
    dlg.m_nDiffLimit = settings.limit;
    dlg.m_nBlockKB = settings.blockKB;
    dlg.m_pSrcBuf = platform::AllocateAligned(size_t{settings.blockKB} * 1024);
    dlg.m_pDstBuf = platform::AllocateAligned(size_t{settings.blockKB} * 1024);
    dlg.CheckTotalSize(src);
    dlg.CheckDirectory(src, dst);
    out.dirs = dlg.m_nDirCount;
    out.files = dlg.m_nFileCount;
    out.diffs = dlg.m_nDiffCount;
    out.total = dlg.m_nTotalBytes;
    out.done = dlg.m_nDoneBytes;
    out.fileBar = user.PositionsSent(IDC_FILE_PROGRESS);
    out.totalBar = user.PositionsSent(IDC_TOTAL_PROGRESS);
    for (const std::string& call : fake.Calls()) {
        if (call.starts_with("Read "))
            ++out.reads[call.substr(5)];
        else
            out.callsButReads.push_back(call);
    }
    out.readElsewhere = fake.ReadElsewhere();
    dlg.DestroyWindow();
    return out;
}

// Runs both ways and expects the same; returns the overlapped run.
Outcome ExpectSameBothWays(const std::function<void(FakeFileSystem&)>& build,
                           Settings settings = {}) {
    Outcome single = RunOnce(false, build, settings);
    Outcome overlapped = RunOnce(true, build, settings);
    EXPECT_TRUE(single.readElsewhere.empty());
    EXPECT_EQ(overlapped.lines, single.lines);
    EXPECT_EQ(overlapped.fileBar, single.fileBar);
    EXPECT_EQ(overlapped.totalBar, single.totalBar);
    EXPECT_EQ(overlapped.callsButReads, single.callsButReads);
    EXPECT_EQ(overlapped.reads, single.reads);
    EXPECT_TRUE(overlapped == single);
    return overlapped;
}

const std::string S{platform::kSeparator};

void MixedTree(FakeFileSystem& fs) {
    for (size_t size : {0, 1, 1023, 1024, 1025, 2048, 3000, 10 * 1024 + 5}) {
        std::string name = "sizes/f" + std::to_string(size);
        fs.AddFile("src/" + name, Bytes(size));
        fs.AddFile("dst/" + name, Bytes(size));
    }
    fs.AddFile("src/diff/last-of-first", Bytes(3000));
    fs.AddFile("dst/diff/last-of-first", Flip(Bytes(3000), 1023));
    fs.AddFile("src/diff/first-of-second", Bytes(3000));
    fs.AddFile("dst/diff/first-of-second", Flip(Bytes(3000), 1024));
    fs.AddFile("src/diff/very-last", Bytes(5000));
    fs.AddFile("dst/diff/very-last", Flip(Bytes(5000), 4999));
    fs.AddFile("src/size/longer", Bytes(2048));
    fs.AddFile("dst/size/longer", Bytes(2049));
    fs.AddFile("src/size/shorter", Bytes(4096));
    fs.AddFile("dst/size/shorter", Bytes(3000));
    fs.AddFile("src/missing", Bytes(4000));
    fs.AddSpecial("src/fifo");
    fs.AddSpecial("dst/fifo");
    fs.AddDirLink("src/sizes/up", "src");
    // Listed sizes that say one block where there are several, and the other way round.
    fs.AddFile("src/listed/small", Bytes(5000));
    fs.AddFile("dst/listed/small", Flip(Bytes(5000), 4500));
    fs.SetListedSize("src/listed/small", 100);
    fs.AddFile("src/listed/large", Bytes(100));
    fs.AddFile("dst/listed/large", Bytes(100));
    fs.SetListedSize("src/listed/large", 5000);
    fs.FailOpen("src/diff/unopenable");
    fs.AddFile("src/diff/unopenable", Bytes(3000));
    fs.AddFile("dst/diff/unopenable", Bytes(3000));
}

TEST(OverlapTest, MixedTreeWithEveryKindOfFinding) {
    Outcome run = ExpectSameBothWays(MixedTree);
    EXPECT_EQ(run.diffs, 8u);
    // The destination of a file of several blocks was read by the other thread; a file
    // listed at one block was not.
    EXPECT_TRUE(run.readElsewhere.contains("dst" + S + "sizes" + S + "f3000"));
    EXPECT_FALSE(run.readElsewhere.contains("dst" + S + "sizes" + S + "f1024"));
    EXPECT_FALSE(run.readElsewhere.contains("dst" + S + "listed" + S + "small"));
    EXPECT_TRUE(run.readElsewhere.contains("dst" + S + "listed" + S + "large"));
    for (const std::string& path : run.readElsewhere)
        EXPECT_TRUE(path.starts_with("dst")) << path;
}

TEST(OverlapTest, BlocksBelowTheThresholdAreReadOneSideAfterTheOther) {
    CCopyCheckDlg dlg;
    Outcome run = RunOnce(true, MixedTree, {.overlapMinBlock = dlg.m_nOverlapMinBlock});
    EXPECT_TRUE(run.readElsewhere.empty());
    EXPECT_EQ(run.lines, RunOnce(false, MixedTree, {}).lines);
}

TEST(OverlapTest, OtherBlockSizes) {
    for (unsigned kb : {3u, 4u, 8u}) {
        SCOPED_TRACE(kb);
        ExpectSameBothWays(MixedTree, {.blockKB = kb});
    }
}

TEST(OverlapTest, LimitReachedMidFileList) {
    auto build = [](FakeFileSystem& fs) {
        for (int i = 0; i < 8; ++i) {
            std::string name = "d/f" + std::to_string(i);
            fs.AddFile("src/" + name, Bytes(4000));
            fs.AddFile("dst/" + name, i % 2 ? Flip(Bytes(4000), 3000) : Bytes(4000));
        }
        fs.AddFile("src/e/after", Bytes(4000));
    };
    for (unsigned limit : {1u, 2u, 3u}) {
        SCOPED_TRACE(limit);
        Outcome run = ExpectSameBothWays(build, {.limit = limit});
        EXPECT_EQ(run.diffs, limit);
    }
}

struct Fault {
    bool src;
    bool dst;
    unsigned nth;
};

TEST(OverlapTest, ReadErrorsOnEitherSideOnAnyBlock) {
    for (Fault fault : {Fault{true, false, 1}, Fault{false, true, 1}, Fault{true, true, 1},
                        Fault{true, false, 2}, Fault{false, true, 2}, Fault{true, false, 4},
                        Fault{false, true, 4}, Fault{true, true, 3}, Fault{false, true, 5}}) {
        SCOPED_TRACE(testing::Message() << fault.src << fault.dst << " " << fault.nth);
        auto build = [&](FakeFileSystem& fs) {
            for (const char* name : {"a", "b", "c"}) {
                fs.AddFile(std::string("src/") + name, Bytes(4000));
                fs.AddFile(std::string("dst/") + name, Bytes(4000));
            }
            if (fault.src)
                fs.FailRead("src/b", fault.nth);
            if (fault.dst)
                fs.FailRead("dst/b", fault.nth);
        };
        Outcome run = ExpectSameBothWays(build);
        EXPECT_EQ(run.diffs, fault.nth <= 4 ? 1u : 0u);
    }
}

TEST(OverlapTest, GeneratedFileDifferingLate) {
    auto build = [](FakeFileSystem& fs) {
        fs.AddGeneratedFile("src/big", 3 << 20);
        fs.AddGeneratedFile("dst/big", 3 << 20);
        fs.SetByte("dst/big", (3 << 20) - 2, 0xFF);
        fs.AddGeneratedFile("src/same", 1 << 20);
        fs.AddGeneratedFile("dst/same", 1 << 20);
    };
    Outcome run = ExpectSameBothWays(build, {.blockKB = 64});
    EXPECT_EQ(run.diffs, 1u);
}

TEST(OverlapTest, RealTree) {
    TempDir tmp;
    auto both = [&](const std::string& rel, const std::string& bytes) {
        tmp.WriteFile("src/" + rel, bytes);
        tmp.WriteFile("dst/" + rel, bytes);
    };
    both("a/one", Bytes(1000));
    both("a/exact", Bytes(8192));
    both("b/many", Bytes(100000));
    tmp.WriteFile("src/b/differs", Bytes(50000));
    tmp.WriteFile("dst/b/differs", Flip(Bytes(50000), 40000));
    tmp.WriteFile("src/b/shorter", Bytes(9000));
    tmp.WriteFile("dst/b/shorter", Bytes(8192));
    tmp.WriteFile("src/missing", Bytes(9000));
    auto none = [](FakeFileSystem&) {};
    platform::FileSystem& real = platform::RealFileSystem();
    Outcome single = RunOnce(false, none, {.blockKB = 4}, &real, tmp.Path("src"), tmp.Path("dst"));
    Outcome overlapped =
        RunOnce(true, none, {.blockKB = 4}, &real, tmp.Path("src"), tmp.Path("dst"));
    EXPECT_EQ(overlapped.lines, single.lines);
    EXPECT_TRUE(overlapped == single);
    EXPECT_EQ(single.diffs, 3u);
}

}  // namespace
}  // namespace test
