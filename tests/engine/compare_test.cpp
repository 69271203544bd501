#include <string>
#include <vector>

#include "tests/engine/engine_fixture.h"
#include "tests/support/bytes.h"

namespace test {
namespace {

using Calls = std::vector<std::string>;
using Positions = std::vector<unsigned>;

class CompareFileTest : public EngineTest {
protected:
    CompareFileTest() { dlg.SetFileSystem(fs); }

    // Source and destination file f with the given contents; the listing gives the source's
    // size.
    void Files(const std::string& src, const std::string& dst) {
        fs.AddFile("src/f", src);
        fs.AddFile("dst/f", dst);
    }
    void Compare(uint64_t listedSize) {
        dlg.CompareFile(srcDir, dstDir, FileEntry("f", listedSize));
    }

    FakeFileSystem fs;
    const std::string srcDir = "src" + S;
    const std::string dstDir = "dst" + S;
    const std::string srcFile = srcDir + "f";
    const std::string dstFile = dstDir + "f";
};

TEST_F(CompareFileTest, EqualFilesAroundTheBlockSizeHaveNoFinding) {
    for (size_t size : {0, 1, 1023, 1024, 1025, 2048, 3000}) {
        SCOPED_TRACE(size);
        FakeFileSystem files;
        dlg.SetFileSystem(files);
        files.AddFile("src/f", Bytes(size));
        files.AddFile("dst/f", Bytes(size));
        dlg.m_nDoneBytes = 0;
        Compare(size);
        EXPECT_TRUE(Lines().empty());
        EXPECT_EQ(dlg.m_nDiffCount, 0u);
        EXPECT_EQ(dlg.m_nDoneBytes, size);
        // Reads stop at the first short block, which may be empty.
        EXPECT_EQ(files.CallsStartingWith("Read " + srcFile).size(), size / 1024 + 1);
    }
}

TEST_F(CompareFileTest, BarAndCallsOfAnEqualFileOfTwoBlocks) {
    dlg.m_bOverlap = false;  // for the order of the calls; overlap_test.cpp compares both ways
    Files(Bytes(2048), Bytes(2048));
    Compare(2048);
    // Entry, after the destination opened, then before each block, then the end.
    EXPECT_EQ(FileBar(), (Positions{0, 0, 0, 51, 102, 102}));
    EXPECT_TRUE(TotalBar().empty());
    EXPECT_EQ(fs.Calls(),
              (Calls{"OpenRead " + dstFile, "OpenRead " + srcFile, "Read " + srcFile,
                     "Read " + dstFile, "Read " + srcFile, "Read " + dstFile, "Read " + srcFile,
                     "Read " + dstFile, "Close " + srcFile, "Close " + dstFile}));
}

TEST_F(CompareFileTest, EmptyFilesEndWithTheBarAtZero) {
    Files("", "");
    Compare(0);
    EXPECT_EQ(FileBar(), (Positions{0, 0, 0, 0}));
    EXPECT_EQ(dlg.m_nDoneBytes, 0u);
}

TEST_F(CompareFileTest, SmallEqualFileJumpsToFull) {
    Files("abc", "abc");
    Compare(3);
    EXPECT_EQ(FileBar(), (Positions{0, 0, 0, 100}));
}

TEST_F(CompareFileTest, DestinationOneByteLongerIsASizeDifference) {
    Files(Bytes(1024), Bytes(1025));
    dlg.m_nTotalBytes = 1024;
    Compare(1024);
    EXPECT_EQ(Lines(), (Calls{"[" + srcFile + "]：ファイルのサイズが異なっています"}));
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(dlg.m_nDoneBytes, 1024u);
    // Before block 1, after the finding and at the end.
    EXPECT_EQ(FileBar(), (Positions{0, 0, 0, 102, 102}));
    EXPECT_EQ(fs.CallsStartingWith("Close "), (Calls{"Close " + srcFile, "Close " + dstFile}));
}

TEST_F(CompareFileTest, DestinationOneByteShorterIsASizeDifference) {
    Files(Bytes(2048), Bytes(2047));
    Compare(2048);
    EXPECT_EQ(Lines(), (Calls{"[" + srcFile + "]：ファイルのサイズが異なっています"}));
    EXPECT_EQ(dlg.m_nDoneBytes, 2048u);
}

TEST_F(CompareFileTest, ShorterDestinationThatDiffersBeforeItEndsIsAContentDifference) {
    std::string dst = Bytes(1500);
    dst[100] ^= 1;
    Files(Bytes(3000), dst);
    Compare(3000);
    EXPECT_EQ(Lines(), (Calls{"[" + srcFile + "]：ファイルの内容が異なっています"}));
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(dlg.m_nDoneBytes, 3000u);
}

TEST_F(CompareFileTest, ContentDifferenceClosesBothFilesBeforeTheLine) {
    std::string dst = Bytes(3000);
    dst[0] ^= 0x80;
    Files(Bytes(3000), dst);
    dlg.m_nTotalBytes = 3000;
    Compare(3000);
    EXPECT_EQ(Lines(), (Calls{"[" + srcFile + "]：ファイルの内容が異なっています"}));
    EXPECT_EQ(FileBar(), (Positions{0, 0, 0, 100}));
    EXPECT_EQ(TotalBar(), (Positions{100}));
    EXPECT_EQ(fs.CallsStartingWith("Read ").size(), 2u);
    EXPECT_EQ(fs.Calls().back(), "Close " + dstFile);
}

// The differing byte counts as compared: the total bar's step after the finding starts from
// the bytes compared, which shows when the percentage changes exactly at that byte.
struct DifferenceAt {
    size_t offset;  // of the one differing byte
    unsigned blockKB;
};

class ContentDifferenceTest : public CompareFileTest,
                              public ::testing::WithParamInterface<DifferenceAt> {};

TEST_P(ContentDifferenceTest, CountsBytesUpToAndIncludingTheDifference) {
    const DifferenceAt& at = GetParam();
    SetBlockKB(at.blockKB);
    size_t size = at.offset + 5000;
    std::string dst = Bytes(size);
    dst[at.offset] ^= 1;
    Files(Bytes(size), dst);

    // One percent is offset + 1 bytes, so the bar moves only if fewer bytes were counted.
    dlg.m_nTotalBytes = (at.offset + 1) * 100;
    Compare(at.offset + 1 + at.offset / 2);
    EXPECT_EQ(Lines(), (Calls{"[" + srcFile + "]：ファイルの内容が異なっています"}));
    EXPECT_TRUE(TotalBar().empty());
    EXPECT_EQ(dlg.m_nDoneBytes, at.offset + 1 + at.offset / 2);
}

INSTANTIATE_TEST_SUITE_P(BlockEdges, ContentDifferenceTest,
                         ::testing::Values(DifferenceAt{1023, 1}, DifferenceAt{1024, 1},
                                           DifferenceAt{2047, 1}, DifferenceAt{0, 1},
                                           DifferenceAt{4095, 8}, DifferenceAt{4096, 8},
                                           DifferenceAt{8191, 8}));

TEST_F(CompareFileTest, ContentDifferenceAtTheLastByteOfTheFile) {
    std::string dst = Bytes(2048);
    dst.back() = static_cast<char>(~dst.back());
    Files(Bytes(2048), dst);
    Compare(2048);
    EXPECT_EQ(Lines(), (Calls{"[" + srcFile + "]：ファイルの内容が異なっています"}));
}

TEST_F(CompareFileTest, MissingDestinationIsOneFindingAndTheSourceIsNotOpened) {
    fs.AddFile("src/f", "abc");
    dlg.m_nTotalBytes = 3;
    Compare(3);
    EXPECT_EQ(Lines(), (Calls{"[" + dstFile + "]：コピー先に存在しません"}));
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(dlg.m_nDoneBytes, 3u);
    EXPECT_EQ(FileBar(), (Positions{0}));
    EXPECT_EQ(TotalBar(), (Positions{100}));
    EXPECT_EQ(fs.Calls(), (Calls{"OpenRead " + dstFile}));
}

TEST_F(CompareFileTest, DestinationThatCannotBeOpenedIsReportedAsMissing) {
    Files("abc", "abc");
    fs.FailOpen("dst/f");
    fs.FailOpen("src/f");  // the destination is tried first
    Compare(3);
    EXPECT_EQ(Lines(), (Calls{"[" + dstFile + "]：コピー先に存在しません"}));
    EXPECT_EQ(fs.CallsStartingWith("OpenRead "), (Calls{"OpenRead " + dstFile}));
}

TEST_F(CompareFileTest, DirectoryAtTheDestinationIsMissing) {
    fs.AddFile("src/f", "abc");
    fs.AddFile("dst/f/inside", "abc");
    Compare(3);
    EXPECT_EQ(Lines(), (Calls{"[" + dstFile + "]：コピー先に存在しません"}));
}

TEST_F(CompareFileTest, SourceThatCannotBeOpenedClosesTheDestination) {
    Files("abc", "abc");
    fs.FailOpen("src/f");
    Compare(3);
    EXPECT_EQ(Lines(), (Calls{"なぜかコピー元のファイル[" + srcFile + "]が開けませんでした"}));
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(dlg.m_nDoneBytes, 3u);
    EXPECT_EQ(FileBar(), (Positions{0, 0}));
    EXPECT_EQ(fs.Calls(),
              (Calls{"OpenRead " + dstFile, "OpenRead " + srcFile, "Close " + dstFile}));
}

TEST_F(CompareFileTest, NamesOnlyOpensTheDestinationAlone) {
    dlg.m_bNamesOnly = 1;
    Files("abc", "xyzzy");
    fs.AddFile("src/g", "abc");
    dlg.m_nTotalBytes = 6;
    Compare(3);
    dlg.CompareFile(srcDir, dstDir, FileEntry("g", 3));
    EXPECT_EQ(Lines(), (Calls{"[" + dstDir + "g]：コピー先に存在しません"}));
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(dlg.m_nDoneBytes, 6u);
    EXPECT_EQ(FileBar(), (Positions{0, 0}));
    EXPECT_EQ(fs.Calls(),
              (Calls{"OpenRead " + dstFile, "Close " + dstFile, "OpenRead " + dstDir + "g"}));
}

TEST_F(CompareFileTest, AtTheLimitNothingHappens) {
    Files("abc", "xyz");
    dlg.m_nDiffLimit = 2;
    dlg.m_nDiffCount = 2;
    Compare(3);
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(fs.Calls().empty());
    EXPECT_TRUE(FileBar().empty());
    EXPECT_EQ(dlg.m_nDoneBytes, 0u);
    EXPECT_EQ(dlg.m_nDiffCount, 2u);
}

TEST_F(CompareFileTest, SpecialFileIsCheckedByNameOnly) {
    fs.AddSpecial("src/p");
    fs.AddSpecial("dst/p");
    platform::DirEntry fifo;
    fifo.name = "p";
    dlg.CompareFile(srcDir, dstDir, fifo);
    fifo.name = "q";
    dlg.CompareFile(srcDir, dstDir, fifo);
    EXPECT_EQ(Lines(), (Calls{"[" + dstDir + "q]：コピー先に存在しません"}));
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(fs.Calls(), (Calls{"Exists " + dstDir + "p", "Exists " + dstDir + "q"}));
}

// Read errors: both blocks are read, then a failure on either side is the one finding.
struct ReadFault {
    bool src;
    bool dst;
    unsigned nth;
};

class ReadErrorTest : public CompareFileTest, public ::testing::WithParamInterface<ReadFault> {};

TEST_P(ReadErrorTest, IsOneFindingWithThePathOfTheSideThatFailed) {
    const ReadFault& fault = GetParam();
    Files(Bytes(3000), Bytes(3000));
    if (fault.src)
        fs.FailRead("src/f", fault.nth);
    if (fault.dst)
        fs.FailRead("dst/f", fault.nth);
    dlg.m_nTotalBytes = 3000;
    Compare(3000);
    std::string failed = fault.src ? srcFile : dstFile;
    EXPECT_EQ(Lines(), (Calls{"[" + failed + "]：ファイルの読み込みに失敗しました"}));
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    EXPECT_EQ(dlg.m_nDoneBytes, 3000u);
    EXPECT_EQ(fs.CallsStartingWith("Read " + srcFile).size(), fault.nth);
    EXPECT_EQ(fs.CallsStartingWith("Read " + dstFile).size(), fault.nth);
    EXPECT_EQ(FileBar().back(), 100u);
    EXPECT_EQ(fs.CallsStartingWith("Close "), (Calls{"Close " + srcFile, "Close " + dstFile}));
}

INSTANTIATE_TEST_SUITE_P(EitherOrBoth, ReadErrorTest,
                         ::testing::Values(ReadFault{true, false, 1}, ReadFault{false, true, 1},
                                           ReadFault{true, true, 1}, ReadFault{true, false, 2},
                                           ReadFault{false, true, 3}, ReadFault{true, true, 3}));

TEST_F(CompareFileTest, TwoEmptyFilesThatFailToReadAreNotEqual) {
    Files("", "");
    fs.FailRead("src/f", 1);
    fs.FailRead("dst/f", 1);
    Compare(0);
    EXPECT_EQ(Lines(), (Calls{"[" + srcFile + "]：ファイルの読み込みに失敗しました"}));
    EXPECT_EQ(dlg.m_nDoneBytes, 0u);
}

// Five gibibytes, generated as read, in 10 MiB blocks: the one test that reads past 4 GiB.
constexpr uint64_t k4G = uint64_t{1} << 32;
constexpr uint64_t k5G = uint64_t{5} << 30;

TEST_F(CompareFileTest, FileOfFiveGibibytesDifferingPastFourGibibytes) {
    SetBlockKB(10240);
    fs.AddGeneratedFile("src/f", k5G);
    fs.AddGeneratedFile("dst/f", k5G);
    fs.SetByte("dst/f", k4G + 5, 0xFF);  // the cycle never holds 0xFF
    dlg.m_nTotalBytes = k5G;
    Compare(k5G);
    EXPECT_EQ(Lines(), (Calls{"[" + srcFile + "]：ファイルの内容が異なっています"}));
    EXPECT_EQ(dlg.m_nDoneBytes, k5G);
    // It lies in the 410th block, and 79 percent of the file before that block.
    Positions bar = FileBar();
    ASSERT_GE(bar.size(), 3u);
    EXPECT_EQ(bar[bar.size() - 2], 79u);
    EXPECT_EQ(bar.back(), 100u);
    EXPECT_EQ(fs.CallsStartingWith("Read " + srcFile).size(), k4G / (10240 * 1024) + 1);
}

TEST_F(CompareFileTest, EarlyDifferenceInAFileOfFiveGibibytesStepsTheWholeRest) {
    SetBlockKB(10240);
    fs.AddGeneratedFile("src/f", k5G);
    fs.AddGeneratedFile("dst/f", k5G, 1);
    dlg.m_nTotalBytes = k5G + k4G;
    dlg.m_nDoneBytes = k4G;
    Compare(k5G);
    EXPECT_EQ(Lines(), (Calls{"[" + srcFile + "]：ファイルの内容が異なっています"}));
    EXPECT_EQ(dlg.m_nDoneBytes, k5G + k4G);
    EXPECT_EQ(TotalBar(), (Positions{100}));
    EXPECT_EQ(fs.CallsStartingWith("Read ").size(), 2u);
}

}  // namespace
}  // namespace test
