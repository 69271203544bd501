// The result window's ring of 32 entries and its view, and what reaches the log.
#include <gtest/gtest.h>

#include "platform/fs.h"
#include "tests/support/main_window.h"
#include "tests/support/tempdir.h"

namespace {

std::vector<std::string> Numbered(int n) {
    std::vector<std::string> lines;
    for (int i = 1; i <= n; ++i)
        lines.push_back("line " + std::to_string(i));
    return lines;
}

std::string Shown(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i)
        text += "\r\nline " + std::to_string(i);
    return text;
}

struct Ring {
    std::vector<std::string> added;
    std::string text;
    int firstVisible, next;
};

TEST(ResultOutput, TheWindowShowsTheNewest32WithTheNewestOnTop) {
    const Ring rings[] = {
        {Numbered(1), Shown(1, 1), 1, 1},           {Numbered(33), Shown(2, 33), 32, 1},
        {Numbered(40), Shown(9, 40), 32, 8},        {{"a", ""}, "\r\na\r\n", 2, 2},
        {{"a", "b\r\nc"}, "\r\na\r\nb\r\nc", 2, 2},  // "b", the newest entry's first line
        {{"100%d %s %%"}, "\r\n100%d %s %%", 1, 1},
    };
    for (const Ring& r : rings) {
        SCOPED_TRACE(r.text);
        CCopyCheckDlg dlg;
        ASSERT_TRUE(dlg.Create());
        for (const std::string& line : r.added)
            dlg.AddResult(line);
        fw::headless::User user(dlg);
        EXPECT_EQ(user.Text(IDC_RESULT), r.text);
        EXPECT_EQ(user.FirstVisibleLine(IDC_RESULT), r.firstVisible);
        EXPECT_EQ(dlg.m_nNextLine, r.next);
        dlg.DestroyWindow();
    }
}

using ResultOutputTest = MainWindowTest;

TEST_F(ResultOutputTest, TheLogGetsTheLinesWhileOpenOnly) {
    TempDir dir;
    dlg.AddResult("closed before");
    ASSERT_TRUE(dlg.m_fpLog.Open(platform::RealFileSystem(), dir.Path("check.log")));
    dlg.m_bLogOpen = true;
    for (const char* line : {"コピー元パス：/a", "", "%d%s", "first\r\nsecond"})
        dlg.AddResult(line);
    ASSERT_TRUE(dlg.m_fpLog.Close());
    dlg.m_bLogOpen = false;
    dlg.AddResult("closed after");
    EXPECT_EQ(dir.ReadFile("check.log"),
              "\x83\x52\x83\x73\x81\x5B\x8C\xB3\x83\x70\x83\x58\x81\x46/a\r\n\r\n%d%s\r\n"
              "first\r\r\nsecond\r\n");
    EXPECT_EQ(Entries().back(), "closed after");
}

}  // namespace
