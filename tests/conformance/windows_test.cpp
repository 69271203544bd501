// The program's two windows driven as a person would, over both backends: the settings and
// their corrections, a run, closing, and the picker's lists from the platform's listings.
#include <gtest/gtest.h>

#include "app/CopyCheckDlg.h"
#include "dirpick/DirSelectDlg.h"
#include "platform/dirs.h"
#include "platform/text.h"
#include "tests/conformance/driver.h"
#include "tests/support/tempdir.h"

namespace {

using Log = std::vector<std::string>;

class MainWindow : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create());
        user = conformance::MakeUser(dlg);
    }
    void TearDown() override {
        user.reset();
        dlg.DestroyWindow();
    }
    std::string Text(int id) { return dlg.GetDlgItemText(id); }

    CCopyCheckDlg dlg;
    std::unique_ptr<conformance::User> user;
};

TEST_F(MainWindow, StartUpState) {
    std::string cwd = Cwd(), log = cwd + Sep() + "check.log";
    EXPECT_EQ(Text(IDC_SRC_PATH) + "|" + Text(IDC_DST_PATH) + "|" + Text(IDC_LOG_PATH),
              cwd + "|" + cwd + "|" + log);
    EXPECT_EQ(dlg.m_strSrcPath + "|" + dlg.m_strDstPath + "|" + dlg.m_strLogPath,
              cwd + "|" + cwd + "|" + log);
    EXPECT_FALSE(user->Enabled(IDC_LOG_PATH) || user->Enabled(IDC_LOG_BROWSE));
    EXPECT_EQ(dlg.GetDlgItem<fw::CButton>(IDC_KEEP_LOG).GetCheck() +
                  dlg.GetDlgItem<fw::CButton>(IDC_NAMES_ONLY).GetCheck(),
              0);
    EXPECT_EQ(Text(IDC_DIFF_LIMIT) + " " + Text(IDC_BLOCK_KB) + Text(IDC_RESULT), "1 1024");
    EXPECT_EQ(dlg.m_nDiffLimit * 10000 + dlg.m_nBlockKB, 11024u);
    EXPECT_EQ(user->Focused(), static_cast<int>(IDOK));
}

struct Correction {
    int field;
    const char* typed;
    const char* shown;  // after leaving the field
    unsigned member;
    bool notice;
};

TEST_F(MainWindow, NumbersAreCorrectedOnLeavingTheirFields) {
    const int kDiff = IDC_DIFF_LIMIT, kBlock = IDC_BLOCK_KB;
    const std::string kNotice[] = {"\r\nNotice>差違の数は、1～999の範囲に自動修正されます",
                                   "\r\nNotice>比較サイズは、1～10240の範囲に自動修正されます"};
    // clang-format off
    const Correction corrections[] = {
        {kDiff, "0", "1", 1, true}, {kDiff, "1", "1", 1, false}, {kDiff, "999", "999", 999, false},
        {kDiff, "1000", "999", 999, true}, {kDiff, "-5", "999", 999, true}, {kDiff, "", "1", 1, true},
        {kDiff, "abc", "1", 1, true}, {kDiff, "007", "007", 7, false}, {kDiff, " +12 ", " +12 ", 12, false},
        {kDiff, "1 2", "1", 1, true}, {kDiff, "2147483648", "1", 1, true}, {kDiff, "-2147483648", "999", 999, true},
        {kBlock, "0", "1", 1, true}, {kBlock, "1", "1", 1, false}, {kBlock, "10240", "10240", 10240, false},
        {kBlock, "10241", "10240", 10240, true}, {kBlock, "-1", "10240", 10240, true}, {kBlock, "", "1", 1, true},
    };
    // clang-format on
    for (const Correction& c : corrections) {
        SCOPED_TRACE(c.typed);
        int before = dlg.m_nNextLine;
        std::string old = dlg.m_strResultLines[before];
        user->Type(c.field, c.typed);
        EXPECT_EQ(Text(c.field), c.typed);  // not while typing
        user->Focus(IDC_SRC_PATH);
        EXPECT_EQ(Text(c.field), c.shown);
        EXPECT_EQ(c.field == kDiff ? dlg.m_nDiffLimit : dlg.m_nBlockKB, c.member);
        EXPECT_EQ(dlg.m_nNextLine, c.notice ? before + 1 : before);
        EXPECT_EQ(dlg.m_strResultLines[before], c.notice ? kNotice[c.field == kBlock] : old);
    }
}

TEST_F(MainWindow, SpinnerStepsByWholeMegabytes) {
    // clang-format off
    const std::tuple<const char*, unsigned, unsigned> steps[] = {
        {"1024", SB_LINEUP, 2048}, {"1024", SB_LINEDOWN, 1}, {"500", SB_LINEUP, 1024}, {"500", SB_LINEDOWN, 1},
        {"1", SB_LINEUP, 1024}, {"1", SB_LINEDOWN, 1}, {"9300", SB_LINEUP, 10240}, {"9300", SB_LINEDOWN, 9216},
        {"10240", SB_LINEUP, 10240}, {"10240", SB_LINEDOWN, 9216}, {"9216", SB_LINEUP, 10240},
        {"", SB_LINEDOWN, 1}, {"2048", SB_PAGEDOWN, 2048},
    };
    // clang-format on
    for (auto [from, code, to] : steps) {
        SCOPED_TRACE(std::string(from) + " " + std::to_string(code));
        dlg.SetDlgItemText(IDC_BLOCK_KB, from);
        dlg.m_nBlockKB = 0;
        user->ScrollArrow(IDC_BLOCK_SPIN, code);
        EXPECT_EQ(Text(IDC_BLOCK_KB), std::to_string(to));
        EXPECT_EQ(dlg.m_nBlockKB, code == SB_PAGEDOWN ? 0 : to);
    }
    EXPECT_EQ(Text(IDC_RESULT), "");
}

TEST_F(MainWindow, KeepLogEnablesTheLogFieldAndItsButton) {
    std::string path = Text(IDC_LOG_PATH);
    for (int on : {1, 0}) {
        user->Click(IDC_KEEP_LOG);
        EXPECT_EQ(dlg.m_bKeepLog, on);
        EXPECT_EQ(user->Enabled(IDC_LOG_PATH) + user->Enabled(IDC_LOG_BROWSE), 2 * on);
        EXPECT_EQ(Text(IDC_LOG_PATH), path);
    }
    EXPECT_EQ(Text(IDC_RESULT), "");
}

// Enter leaves the focus in the field until the confirmation takes it: the correction comes
// before the run reads the settings. The run keeps what the window showed before it.
TEST_F(MainWindow, EnterInAFieldCorrectsItThenRuns) {
    TempDir root;
    root.WriteFile("src/報告.txt", "contents");
    root.WriteFile("dst/報告.txt", "contentz");
    user->Type(IDC_SRC_PATH, root.Path("src"));
    user->Type(IDC_DST_PATH, root.Path("dst"));
    user->Click(IDC_KEEP_LOG);
    user->Type(IDC_LOG_PATH, root.Path("check.log"));
    dlg.AddResult("before");
    user->Type(IDC_DIFF_LIMIT, "0");
    Log boxes;
    user->AnswerBox(IDOK, boxes);
    user->PressEnter();
    EXPECT_EQ(boxes, Log{"BOX ファイルの比較を開始するんですね？"});
    std::string text = Text(IDC_RESULT),
                finding = "[" + root.Path("src/報告.txt") + "]：ファイルの内容が異なっています";
    EXPECT_TRUE(text.starts_with("\r\nbefore\r\nNotice>差違の数"));
    EXPECT_NE(text.find("\r\n差違が 1 個発見されたら中断します\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n" + finding + "\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\ndir:0  file:1  error:1"));
    std::string log = root.ReadFile("check.log");
    EXPECT_NE(log.find(platform::Utf8ToCp932(finding) + "\r\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with("dir:0  file:1  error:1\r\n"));
    EXPECT_FALSE(user->Ended());
}

TEST_F(MainWindow, FortyEntriesLeaveTheNewestInView) {
    for (int i = 1; i <= 40; ++i)
        dlg.AddResult("entry " + std::to_string(i));
    EXPECT_TRUE(Text(IDC_RESULT).starts_with("\r\nentry 9\r\n"));
    // Windows and the headless edit make it the first visible line (32); Wine's edit stops
    // once the last line reaches the bottom of the view.
    EXPECT_GE(user->FirstVisibleLine(IDC_RESULT), 15);
    EXPECT_LE(user->FirstVisibleLine(IDC_RESULT), 32);
}

TEST_F(MainWindow, CancelledLogBrowseAndEnterInTheResultChangeNothingEscCloses) {
    user->Click(IDC_KEEP_LOG);
    std::string path = Text(IDC_LOG_PATH);
    user->CancelFileDialog();
    user->Click(IDC_LOG_BROWSE);
    EXPECT_EQ(Text(IDC_LOG_PATH), path);
    dlg.AddResult("line");
    user->Focus(IDC_RESULT);
    user->PressEnter();
    EXPECT_FALSE(user->Ended());
    user->PressEsc();
    EXPECT_TRUE(user->Ended());
}

// The platform's own directory lists (under Wine) and the headless ones agree.
TEST(Picker, ListsSelectsAndEntersAsThePlatformDoes) {
    TempDir root;
    std::string start = Cwd();
    for (const char* d : {"beta", "Alpha", "_under", "c.d", "9lives"})
        root.MakeDir(d);
    root.WriteFile("file.txt", "not a directory");
    CDirSelectDlg picker;
    picker.m_strInitPath = root.path();
    ASSERT_TRUE(picker.Create());
    auto user = conformance::MakeUser(picker);
    EXPECT_EQ(user->Items(IDC_DIR_LIST),
              (Log{"[.]", "[..]", "[_under]", "[9lives]", "[Alpha]", "[beta]", "[c.d]"}));
    EXPECT_EQ(picker.GetDlgItemText(IDC_CUR_PATH), root.path());
    Log drives = user->Items(IDC_DRIVE_LIST);
    ASSERT_EQ(drives.size(), platform::Drives().size());
    int current = picker.GetDlgItem<fw::CListBox>(IDC_DRIVE_LIST).GetCurSel();
    ASSERT_GE(current, 0);
    EXPECT_EQ(drives[current], std::string("[-") + platform::AsciiLower(root.path()[0]) + "-]");
    user->Select(IDC_DIR_LIST, 4);  // [Alpha]
    EXPECT_EQ(picker.m_strSelPath, root.Path("Alpha") + Sep());
    user->DoubleClick(IDC_DIR_LIST, 4);
    EXPECT_EQ(Cwd(), root.Path("Alpha"));
    EXPECT_EQ(user->Items(IDC_DIR_LIST), (Log{"[.]", "[..]"}));
    user->Select(IDC_DIR_LIST, 1);  // [..]
    user->Click(IDOK);
    EXPECT_EQ(picker.m_strSelPath, root.path() + Sep());
    EXPECT_EQ(Cwd(), start);
    user.reset();
    picker.DestroyWindow();
}

}  // namespace
