#include <climits>

#include "tests/engine/engine_fixture.h"

namespace test {
namespace {

constexpr uint64_t k4G = uint64_t{1} << 32;
constexpr uint64_t k5G = uint64_t{5} << 30;

struct PercentCase {
    uint64_t done;
    uint64_t total;
    uint64_t percent;
};

TEST(CalcPercent, FollowsTheTwoRulesWithoutClampingOrWrapping) {
    const PercentCase cases[] = {
        // Totals under 100 are empty or full.
        {0, 0, 0},
        {5, 50, 100},
        {0, 50, 0},
        {1, 99, 100},
        {0, 99, 0},
        // From 100 on, done / (total / 100), both truncated: a total that is not a multiple
        // of 100 ends above 100.
        {99, 100, 99},
        {100, 100, 100},
        {500, 999, 55},
        {999, 999, 111},
        {250, 250, 125},
        {150, 150, 150},
        {199, 199, 199},
        // Around 4 GiB nothing wraps: a total of exactly 4 GiB is not an empty tree.
        {1, k4G, 0},
        {k4G / 2, k4G, 50},
        {k4G - 1, k4G, 100},
        {k4G, k4G, 100},
        {k4G, k4G + 99, 99},
        {k4G - 1, k4G - 1, 100},
        {k4G, k5G, 80},
        {uint64_t{1} << 39, uint64_t{1} << 40, 50},
        {(uint64_t{1} << 40) - 1, uint64_t{1} << 40, 100},
    };
    for (const PercentCase& c : cases) {
        EXPECT_EQ(CCopyCheckDlg::CalcPercent(c.done, c.total), c.percent)
            << c.done << " of " << c.total;
    }
}

using StepTotalProgressTest = EngineTest;

TEST_F(StepTotalProgressTest, SendsOnlyWhenThePercentageChanges) {
    dlg.m_nTotalBytes = 1000;
    dlg.StepTotalProgress(0);
    dlg.StepTotalProgress(5);    // 0 -> 0
    dlg.StepTotalProgress(5);    // 0 -> 1
    dlg.StepTotalProgress(9);    // 1 -> 1
    dlg.StepTotalProgress(0);    // never, whatever the bar shows
    dlg.StepTotalProgress(981);  // 1 -> 100
    EXPECT_EQ(dlg.m_nDoneBytes, 1000u);
    EXPECT_EQ(TotalBar(), (std::vector<unsigned>{1, 100}));
    EXPECT_TRUE(FileBar().empty());
}

TEST_F(StepTotalProgressTest, SmallTotalShowsFullFromTheFirstByteOn) {
    dlg.m_nTotalBytes = 99;
    dlg.StepTotalProgress(0);
    dlg.StepTotalProgress(1);
    dlg.StepTotalProgress(98);
    EXPECT_EQ(TotalBar(), (std::vector<unsigned>{100}));
}

TEST_F(StepTotalProgressTest, ComparesWithTheStepNotWithTheBar) {
    // Bytes added directly show only at the next position set.
    dlg.m_nTotalBytes = 1000;
    dlg.m_nDoneBytes = 500;
    dlg.StepTotalProgress(1);
    EXPECT_TRUE(TotalBar().empty());
    dlg.StepTotalProgress(9);
    EXPECT_EQ(TotalBar(), (std::vector<unsigned>{51}));
}

TEST_F(StepTotalProgressTest, CountsPastFourGibibytes) {
    dlg.m_nTotalBytes = k5G;
    dlg.StepTotalProgress(k4G);
    dlg.StepTotalProgress(k5G - k4G);
    EXPECT_EQ(dlg.m_nDoneBytes, k5G);
    EXPECT_EQ(TotalBar(), (std::vector<unsigned>{80, 100}));
}

TEST_F(StepTotalProgressTest, PositionBeyondTheBarsRangeIsClamped) {
    dlg.m_nTotalBytes = 100;
    dlg.StepTotalProgress(uint64_t{1} << 40);
    EXPECT_EQ(TotalBar(), (std::vector<unsigned>{UINT_MAX}));
    EXPECT_EQ(user->Pos(IDC_TOTAL_PROGRESS), 100u);
}

}  // namespace
}  // namespace test
