// The program's two windows driven as a person would, over both backends: the settings and
// their corrections, a run, the result window and log, closing, and the picker's lists.
#include <gtest/gtest.h>

#include "app/CopyCheckDlg.h"
#include "dirpick/DirSelectDlg.h"
#include "platform/dirs.h"
#include "platform/text.h"
#include "tests/conformance/driver.h"
#include "tests/support/tempdir.h"

namespace {

using Log = std::vector<std::string>;

// The main window open, with a user at it.
struct Window {
    Window() {
        EXPECT_TRUE(dlg.Create());
        user = conformance::MakeUser(dlg);
    }
    ~Window() {
        user.reset();
        dlg.DestroyWindow();
    }
    std::string Text(int id) { return dlg.GetDlgItemText(id); }

    CCopyCheckDlg dlg;
    std::unique_ptr<conformance::User> user;
};
struct MainWindow : testing::Test, Window {};

TEST_F(MainWindow, StartUpState) {
    std::string cwd = Cwd(), log = cwd + Sep() + "check.log";
    EXPECT_EQ(Log({Text(IDC_SRC_PATH), Text(IDC_DST_PATH), Text(IDC_LOG_PATH)}),
              Log({cwd, cwd, log}));
    EXPECT_EQ(Log({dlg.m_strSrcPath, dlg.m_strDstPath, dlg.m_strLogPath}), Log({cwd, cwd, log}));
    EXPECT_FALSE(user->Enabled(IDC_LOG_PATH) || user->Enabled(IDC_LOG_BROWSE));
    EXPECT_EQ(dlg.m_bKeepLog + dlg.GetDlgItem<fw::CButton>(IDC_KEEP_LOG).GetCheck(), 0);
    EXPECT_EQ(dlg.m_bNamesOnly + dlg.GetDlgItem<fw::CButton>(IDC_NAMES_ONLY).GetCheck(), 0);
    EXPECT_EQ(Log({Text(IDC_DIFF_LIMIT), Text(IDC_BLOCK_KB), Text(IDC_RESULT)}),
              Log({"1", "1024", ""}));
    EXPECT_EQ(dlg.m_nDiffLimit + dlg.m_nBlockKB, 1u + 1024u);
    EXPECT_EQ(user->Focused(), static_cast<int>(IDOK));
}

TEST_F(MainWindow, NumbersAreCorrectedOnLeavingTheirFields) {
    const int kDiff = IDC_DIFF_LIMIT, kBlock = IDC_BLOCK_KB;
    const std::string kNotice[] = {"\r\nNotice>差違の数は、1～999の範囲に自動修正されます",
                                   "\r\nNotice>比較サイズは、1～10240の範囲に自動修正されます"};
    // clang-format off
    // The field, what is typed, what it shows after leaving it, the member, a notice.
    const std::tuple<int, const char*, const char*, unsigned, bool> corrections[] = {
        {kDiff, "0", "1", 1, true}, {kDiff, "1", "1", 1, false}, {kDiff, "999", "999", 999, false},
        {kDiff, "1000", "999", 999, true}, {kDiff, "-5", "999", 999, true}, {kDiff, "", "1", 1, true},
        {kDiff, "abc", "1", 1, true}, {kDiff, "007", "007", 7, false}, {kDiff, " +12 ", " +12 ", 12, false},
        {kDiff, "1 2", "1", 1, true}, {kDiff, "2147483648", "1", 1, true}, {kDiff, "-2147483648", "999", 999, true},
        {kBlock, "0", "1", 1, true}, {kBlock, "1", "1", 1, false}, {kBlock, "10240", "10240", 10240, false},
        {kBlock, "10241", "10240", 10240, true}, {kBlock, "-1", "10240", 10240, true}, {kBlock, "", "1", 1, true},
    };
    // clang-format on
    for (auto [field, typed, shown, member, notice] : corrections) {
        SCOPED_TRACE(typed);
        int before = dlg.m_nNextLine;
        std::string slot = dlg.m_strResultLines[before];
        user->Type(field, typed);
        EXPECT_EQ(Text(field), typed);  // not while typing
        user->Focus(IDC_SRC_PATH);
        EXPECT_EQ(Text(field), shown);
        EXPECT_EQ(field == kDiff ? dlg.m_nDiffLimit : dlg.m_nBlockKB, member);
        EXPECT_EQ(dlg.m_nNextLine, notice ? before + 1 : before);
        EXPECT_EQ(dlg.m_strResultLines[before], notice ? kNotice[field == kBlock] : slot);
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

// The log path is never touched: not by the box, nor by a cancelled browse. Esc closes.
TEST_F(MainWindow, KeepLogEnablesTheLogFieldAndItsButton) {
    std::string path = Text(IDC_LOG_PATH);
    Log boxes;
    for (int on : {1, 0}) {
        user->Click(IDC_KEEP_LOG);
        EXPECT_EQ(dlg.m_bKeepLog, on);
        EXPECT_EQ(user->Enabled(IDC_LOG_PATH) + user->Enabled(IDC_LOG_BROWSE), 2 * on);
        if (on)
            user->AnswerBox(IDCANCEL, boxes), user->Click(IDC_LOG_BROWSE);
        EXPECT_EQ(Text(IDC_LOG_PATH), path);
    }
    EXPECT_EQ(Text(IDC_RESULT), "");
    user->PressEsc();
    EXPECT_TRUE(user->Ended());
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
    std::string text = Text(IDC_RESULT), log = root.ReadFile("check.log"),
                found = "[" + root.Path("src/報告.txt") + "]：ファイルの内容が異なっています";
    EXPECT_TRUE(text.starts_with("\r\nbefore\r\nNotice>差違の数"));
    EXPECT_NE(text.find("\r\n差違が 1 個発見されたら中断します\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n" + found + "\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\ndir:0  file:1  error:1"));
    EXPECT_NE(log.find(platform::Utf8ToCp932(found) + "\r\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with("dir:0  file:1  error:1\r\n"));
    EXPECT_FALSE(user->Ended());
}

// "line from" to "line to".
Log Lines(int from, int to) {
    Log lines;
    for (int i = from; i <= to; ++i)
        lines.push_back("line " + std::to_string(i));
    return lines;
}

TEST(ResultWindow, ShowsTheNewest32WithTheNewestOnTop) {
    // Added, shown, the first visible line, the next slot.
    const std::tuple<Log, Log, int, int> rings[] = {
        {Lines(1, 1), Lines(1, 1), 1, 1},         {Lines(1, 33), Lines(2, 33), 32, 1},
        {Lines(1, 40), Lines(9, 40), 32, 8},      {{"a", ""}, {"a", ""}, 2, 2},
        {{"a", "b\r\nc"}, {"a", "b\r\nc"}, 2, 2},  // "b", the newest entry's first line
        {{"100%d %s %%"}, {"100%d %s %%"}, 1, 1},
    };
    for (auto& [added, shown, firstVisible, next] : rings) {
        Window w;
        std::string text;
        for (size_t i = 0; i < added.size(); ++i)
            w.dlg.AddResult(added[i]);
        for (size_t i = 0; i < shown.size(); ++i)
            text += "\r\n" + shown[i];
        EXPECT_EQ(w.Text(IDC_RESULT) + " " + std::to_string(w.dlg.m_nNextLine),
                  text + " " + std::to_string(next));
        int first = w.user->FirstVisibleLine(IDC_RESULT);
#ifdef _WIN32
        // Wine's edit stops once the last line is in the view.
        EXPECT_TRUE(first <= firstVisible && first >= firstVisible - 15);
#else
        EXPECT_EQ(first, firstVisible);
#endif
    }
}

TEST_F(MainWindow, TheLogGetsTheLinesWhileOpenOnly) {
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
    EXPECT_TRUE(Text(IDC_RESULT).ends_with("\r\nclosed after"));
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
              Log({"[.]", "[..]", "[_under]", "[9lives]", "[Alpha]", "[beta]", "[c.d]"}));
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
    EXPECT_EQ(user->Items(IDC_DIR_LIST), Log({"[.]", "[..]"}));
    user->Select(IDC_DIR_LIST, 1);  // [..]
    user->Click(IDOK);
    EXPECT_EQ(picker.m_strSelPath, root.path() + Sep());
    EXPECT_EQ(Cwd(), start);
    user.reset();
    picker.DestroyWindow();
}

}  // namespace
