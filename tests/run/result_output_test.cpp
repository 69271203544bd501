// The result window's ring of 32 entries, its view, and what reaches the log.
#include <gtest/gtest.h>

#include "platform/fs.h"
#include "tests/support/main_window.h"
#include "tests/support/tempdir.h"

namespace {

using ResultOutputTest = MainWindowTest;

TEST_F(ResultOutputTest, FirstEntryStandsOnTheFirstVisibleLine) {
    dlg.AddResult("one");
    EXPECT_EQ(user->Text(IDC_RESULT), "\r\none");
    EXPECT_EQ(user->FirstVisibleLine(IDC_RESULT), 1);
    EXPECT_EQ(dlg.m_nNextLine, 1);
}

TEST_F(ResultOutputTest, ThirtyThirdEntryPushesOutTheFirst) {
    std::string expected;
    for (int i = 1; i <= 33; ++i) {
        dlg.AddResult("line " + std::to_string(i));
        if (i >= 2)
            expected += "\r\nline " + std::to_string(i);
    }
    EXPECT_EQ(user->Text(IDC_RESULT), expected);
    EXPECT_EQ(dlg.m_nNextLine, 1);
}

TEST_F(ResultOutputTest, AfterFortyEntriesTheNewestIsTheFirstVisibleLine) {
    for (int i = 1; i <= 40; ++i)
        dlg.AddResult("line " + std::to_string(i));
    EXPECT_EQ(user->LineCount(IDC_RESULT), 33);
    EXPECT_EQ(user->FirstVisibleLine(IDC_RESULT), 32);
    EXPECT_EQ(Entries().front(), "line 9");
    EXPECT_EQ(Entries().back(), "line 40");
    EXPECT_EQ(dlg.m_nNextLine, 8);
}

TEST_F(ResultOutputTest, EmptyEntryCountsLikeAnyOther) {
    dlg.AddResult("a");
    dlg.AddResult("");
    EXPECT_EQ(user->Text(IDC_RESULT), "\r\na\r\n");
    EXPECT_EQ(user->FirstVisibleLine(IDC_RESULT), 2);
}

TEST_F(ResultOutputTest, EntryWithLineBreakStopsTheViewHigher) {
    dlg.AddResult("a");
    dlg.AddResult("b\r\nc");
    EXPECT_EQ(user->Text(IDC_RESULT), "\r\na\r\nb\r\nc");
    EXPECT_EQ(user->LineCount(IDC_RESULT), 4);
    EXPECT_EQ(user->FirstVisibleLine(IDC_RESULT), 2);  // "b": the newest entry's first line
}

TEST_F(ResultOutputTest, PercentSignsAreText) {
    dlg.AddResult("100%d %s %%");
    EXPECT_EQ(user->Text(IDC_RESULT), "\r\n100%d %s %%");
}

TEST_F(ResultOutputTest, WindowKeepsEntriesAcrossRuns) {
    TempDir dir;
    dlg.AddResult("before");
    user->Type(IDC_SRC_PATH, dir.path());
    user->Type(IDC_DST_PATH, dir.path());
    fw::headless::AnswerMessageBox(IDOK);
    user->Click(IDOK);  // the same paths: a short run
    auto lines = Entries();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "before");
}

TEST_F(ResultOutputTest, LogGetsTheLinesWhileOpenOnly) {
    TempDir dir;
    dlg.AddResult("closed before");
    ASSERT_TRUE(dlg.m_fpLog.Open(platform::RealFileSystem(), dir.Path("check.log")));
    dlg.m_bLogOpen = true;
    dlg.AddResult("コピー元パス：/a");
    dlg.AddResult("");
    dlg.AddResult("%d%s");
    dlg.AddResult("first\r\nsecond");
    ASSERT_TRUE(dlg.m_fpLog.Close());
    dlg.m_bLogOpen = false;
    dlg.AddResult("closed after");
    EXPECT_EQ(dir.ReadFile("check.log"),
              "\x83\x52\x83\x73\x81\x5B\x8C\xB3\x83\x70\x83\x58\x81\x46/a\r\n"
              "\r\n"
              "%d%s\r\n"
              "first\r\r\nsecond\r\n");
    EXPECT_EQ(Entries().back(), "closed after");
}

}  // namespace
