// The walk and the size scan over the in-memory file system, where the listing order is
// known and faults can be injected.
#include <string>
#include <vector>

#include "tests/engine/engine_fixture.h"

namespace test {
namespace {

using Lines_ = std::vector<std::string>;

const std::string kDenied = "]にアクセスできませんでした\r\nこのディレクトリは無視されます";
const std::string kAncestor = "]は上位のディレクトリと同じため、無視されます";

class WalkTest : public EngineTest {
protected:
    WalkTest() { dlg.SetFileSystem(fs); }

    // The same file on both sides.
    void Both(const std::string& rel, const std::string& bytes) {
        fs.AddFile("src/" + rel, bytes);
        fs.AddFile("dst/" + rel, bytes);
    }
    std::string Src(const std::string& rel = "") const { return "src" + S + rel; }
    std::string Dst(const std::string& rel = "") const { return "dst" + S + rel; }
    std::string Dir(const std::string& rel = "") const { return "Diredtory [ " + Src(rel) + " ]"; }
    std::string File(const std::string& rel) const { return "File [" + Src(rel) + "]"; }

    FakeFileSystem fs;
};

TEST_F(WalkTest, DepthFirstInListingOrder) {
    Both("f1", "a");
    Both("d1/g1", "bb");
    fs.AddDir("src/d1/e");
    Both("f2", "ccc");
    Check("src", "dst");
    EXPECT_EQ(Lines(), (Lines_{Dir(), File("f1"), Dir("d1" + S), File("d1" + S + "g1"),
                               Dir("d1" + S + "e" + S), File("f2")}));
    EXPECT_EQ(dlg.m_nDirCount, 2u);
    EXPECT_EQ(dlg.m_nFileCount, 3u);
    EXPECT_EQ(dlg.m_nDiffCount, 0u);
    EXPECT_EQ(dlg.m_nTotalBytes, 6u);
    EXPECT_EQ(dlg.m_nDoneBytes, 6u);
    // Set after every file, changed or not.
    EXPECT_EQ(TotalBar(), (std::vector<unsigned>{100, 100, 100}));
}

TEST_F(WalkTest, EachListingIsReadInFullBeforeItsFirstEntry) {
    Both("a/f", "x");
    Both("b/g", "y");
    dlg.CheckDirectory("src", "dst");
    Lines_ lists = fs.CallsStartingWith("List ");
    Lines_ calls = fs.Calls();
    EXPECT_EQ(lists, (Lines_{"List " + Src(), "List " + Src("a" + S), "List " + Src("b" + S)}));
    // Nothing of a is opened before the root's listing is done, and a is done before b.
    EXPECT_EQ(calls[1], "List " + Src());
    EXPECT_EQ(calls[2], "List " + Src("a" + S));
}

TEST_F(WalkTest, RootWithAndWithoutTrailingSeparatorWalksTheSame) {
    Both("d/f", "abc");
    dlg.CheckDirectory("src", "dst");
    Lines_ bare = Lines();
    ForgetLines();
    dlg.CheckDirectory("src" + S, "dst" + S);
    EXPECT_EQ(Lines(), bare);
    EXPECT_EQ(bare.front(), Dir());
    ForgetLines();
    dlg.CheckDirectory("src" + S, "dst");  // each side gets its own separator
    EXPECT_EQ(Lines(), bare);
}

TEST_F(WalkTest, LimitReachedMidDirectoryFinishesEveryOpenListing) {
    fs.AddFile("src/x/a", "missing at the destination");
    Both("x/b", "b");
    Both("x/sub/c", "c");
    Both("x/d", "d");
    Both("y/e", "e");
    Both("z", "z");
    dlg.m_nDiffLimit = 1;
    dlg.CheckDirectory("src", "dst");
    EXPECT_EQ(Lines(), (Lines_{Dir(), Dir("x" + S), File("x" + S + "a"),
                               "[" + Dst("x" + S + "a") + "]：コピー先に存在しません",
                               File("x" + S + "b"), File("x" + S + "d"), File("z")}));
    EXPECT_EQ(dlg.m_nDirCount, 3u);  // x, and sub and y, which are not entered
    EXPECT_EQ(dlg.m_nFileCount, 4u);
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(TotalBar().size(), 5u);  // the missing file's step, then after each file
    EXPECT_TRUE(fs.CallsStartingWith("OpenRead " + Dst("x" + S + "b")).empty());
    EXPECT_TRUE(fs.CallsStartingWith("List " + Src("y")).empty());
}

TEST_F(WalkTest, AtTheLimitNothingIsWalked) {
    Both("f", "abc");
    dlg.m_nDiffLimit = 3;
    dlg.m_nDiffCount = 3;
    dlg.CheckDirectory("src", "dst");
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(fs.Calls().empty());
    EXPECT_TRUE(TotalBar().empty());
}

TEST_F(WalkTest, RootThatCannotBeListedEndsTheWalk) {
    Both("f", "abc");
    fs.FailList("src");
    dlg.CheckDirectory("src", "dst");
    EXPECT_EQ(Lines(), (Lines_{Dir(), "ディレクトリ[" + Src() + kDenied}));
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(dlg.m_nFileCount, 0u);
}

TEST_F(WalkTest, SubdirectoryThatCannotBeListedIsSkippedAndCounted) {
    Both("a", "a");
    Both("bad/x", "x");
    Both("c", "c");
    fs.FailList("src/bad");
    dlg.CheckDirectory("src", "dst");
    EXPECT_EQ(Lines(), (Lines_{Dir(), File("a"), Dir("bad" + S),
                               "ディレクトリ[" + Src("bad" + S) + kDenied, File("c")}));
    EXPECT_EQ(dlg.m_nDirCount, 1u);
    EXPECT_EQ(dlg.m_nFileCount, 2u);
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
}

TEST_F(WalkTest, ListingThatFailsDuringTheScanOnlyIsReportedByTheScanAlone) {
    Both("a", "a");
    Both("bad/x", "xx");
    fs.FailList("src/bad", 1);
    Check("src", "dst");
    EXPECT_EQ(Lines(), (Lines_{"CheckTotalSize:ディレクトリ[" + Src("bad" + S) + kDenied, Dir(),
                               File("a"), Dir("bad" + S), File("bad" + S + "x")}));
    EXPECT_EQ(dlg.m_nDiffCount, 0u);
    EXPECT_EQ(dlg.m_nTotalBytes, 1u);
    EXPECT_EQ(dlg.m_nDoneBytes, 3u);
}

TEST_F(WalkTest, DirectoryOnThePathIsNotEnteredAgain) {
    Both("f", "f");
    Both("a/g", "g");
    fs.AddDirLink("src/a/up", "src");
    fs.AddDirLink("src/a/me", "src/a");
    fs.AddDirLink("src/b", "src/a");  // a sibling, not an ancestor: walked
    Check("src", "dst");
    EXPECT_EQ(Lines(),
              (Lines_{Dir(), File("f"), Dir("a" + S), File("a" + S + "g"),
                      "ディレクトリ[" + Src("a" + S + "up" + S) + kAncestor,
                      "ディレクトリ[" + Src("a" + S + "me" + S) + kAncestor, Dir("b" + S),
                      File("b" + S + "g"), "[" + Dst("b" + S + "g") + "]：コピー先に存在しません",
                      "ディレクトリ[" + Src("b" + S + "up" + S) + kAncestor,
                      "ディレクトリ[" + Src("b" + S + "me" + S) + kAncestor}));
    EXPECT_EQ(dlg.m_nDirCount, 6u);
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(dlg.m_nDoneBytes, dlg.m_nTotalBytes);
    EXPECT_EQ(dlg.m_nTotalBytes, 3u);
}

TEST_F(WalkTest, DirectoryOnThePathAfterTheLimitGetsNoLine) {
    fs.AddFile("src/a/f", "missing");
    fs.AddDirLink("src/a/up", "src");
    dlg.m_nDiffLimit = 1;
    dlg.CheckDirectory("src", "dst");
    EXPECT_EQ(Lines(), (Lines_{Dir(), Dir("a" + S), File("a" + S + "f"),
                               "[" + Dst("a" + S + "f") + "]：コピー先に存在しません"}));
    EXPECT_EQ(dlg.m_nDirCount, 2u);
}

TEST_F(WalkTest, DirectoriesWithoutIdentityAreEntered) {
    Both("a/b/f", "f");
    fs.HideId("src/a");
    fs.HideId("src/a/b");
    Check("src", "dst");
    EXPECT_EQ(Lines(),
              (Lines_{Dir(), Dir("a" + S), Dir("a" + S + "b" + S), File("a" + S + "b" + S + "f")}));
}

TEST_F(WalkTest, SpecialFileIsAFileThatIsNeverOpened) {
    fs.AddSpecial("src/p");
    fs.AddSpecial("dst/p");
    fs.AddSpecial("src/q");
    Check("src", "dst");
    EXPECT_EQ(Lines(),
              (Lines_{Dir(), File("p"), File("q"), "[" + Dst("q") + "]：コピー先に存在しません"}));
    EXPECT_EQ(dlg.m_nFileCount, 2u);
    EXPECT_TRUE(fs.CallsStartingWith("OpenRead ").empty());
}

TEST_F(WalkTest, ScanSumsWhatTheWalkDealsWith) {
    Both("a", "1");
    Both("d/b", "22");
    fs.AddGeneratedFile("src/d/e/big", uint64_t{5} << 30);
    fs.AddDir("src/empty");
    fs.AddDirLink("src/d/e/loop", "src/d");
    fs.AddSpecial("src/p");
    dlg.CheckTotalSize("src");
    EXPECT_EQ(dlg.m_nTotalBytes, 3 + (uint64_t{5} << 30));
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(fs.CallsStartingWith("OpenRead ").empty());
    dlg.m_nTotalBytes = 0;
    dlg.CheckTotalSize("src" + S);
    EXPECT_EQ(dlg.m_nTotalBytes, 3 + (uint64_t{5} << 30));
}

TEST_F(WalkTest, TreeOfExactlyFourGibibytesIsNotEmpty) {
    fs.AddFile("src/a", "");
    fs.SetListedSize("src/a", uint64_t{3} << 30);
    fs.AddFile("src/b", "");
    fs.SetListedSize("src/b", uint64_t{1} << 30);
    dlg.CheckTotalSize("src");
    EXPECT_EQ(dlg.m_nTotalBytes, uint64_t{1} << 32);
}

TEST_F(WalkTest, ScanReportsWhatItCannotListAndCountsNoDifference) {
    Both("a", "1");
    Both("bad/b", "22");
    Both("c/d", "333");
    fs.FailList("src/bad");
    dlg.CheckTotalSize("src");
    EXPECT_EQ(Lines(), (Lines_{"CheckTotalSize:ディレクトリ[" + Src("bad" + S) + kDenied}));
    EXPECT_EQ(dlg.m_nTotalBytes, 4u);
    EXPECT_EQ(dlg.m_nDiffCount, 0u);
}

TEST_F(WalkTest, ScanOfARootThatCannotBeListedLeavesTheTotalAtZero) {
    Both("a", "1");
    fs.FailList("src");
    dlg.CheckTotalSize("src" + S);
    EXPECT_EQ(Lines(), (Lines_{"CheckTotalSize:ディレクトリ[" + Src() + kDenied}));
    EXPECT_EQ(dlg.m_nTotalBytes, 0u);
}

}  // namespace
}  // namespace test
