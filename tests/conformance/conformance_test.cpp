// Over the headless backend and over real windows under Wine: what the program's handlers
// rely on from the dialog manager, and the program's two windows driven as a person would.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/CopyCheckDlg.h"
#include "dirpick/DirSelectDlg.h"
#include "framework/ddx.h"
#include "framework/time.h"
#include "platform/dirs.h"
#include "platform/text.h"
#include "tests/conformance/driver.h"
#include "tests/support/tempdir.h"

namespace {

using enum fw::ControlClass;
using Log = std::vector<std::string>;

constexpr int kName = 1001, kNumber = 1002, kResult = 1003, kCheck = 1004, kList = 1005,
              kArrows = 1006;
constexpr uint32_t kField = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

// clang-format off
const fw::DialogTemplate kTemplate{900, "テスト", 220, 140, "ＭＳ Ｐゴシック", 9, WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, {
    {Edit, kName, "", 7, 7, 120, 14, kField},
    {Edit, kNumber, "", 7, 24, 60, 14, kField},
    {Edit, kResult, "", 7, 41, 120, 56, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_WANTRETURN | WS_BORDER | WS_VSCROLL},
    {Button, kCheck, "チェック", 135, 41, 70, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {ListBox, kList, "", 135, 55, 70, 42, LBS_SORT | LBS_NOTIFY | WS_BORDER | WS_VSCROLL},
    {ScrollBar, kArrows, "", 70, 24, 10, 14, SBS_VERT},
    {Button, IDOK, "OK", 163, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {Button, IDCANCEL, "キャンセル", 163, 24, 50, 14, WS_TABSTOP}}};
// clang-format on

std::string N(unsigned code, int id) {
    return std::to_string(code) + " " + std::to_string(id);
}
const std::string kKill = N(EN_KILLFOCUS, kName), kSel = N(LBN_SELCHANGE, kList),
                  kEnd = N(SB_ENDSCROLL, kArrows), kChange = N(EN_CHANGE, kNumber);

// Open with its list filled; logs the notifications the program handles (but OK's and
// Cancel's) and every scroll message; OK and Cancel leave it open.
class TestDialog : public fw::CDialog {
public:
    TestDialog() : CDialog(kTemplate) {
        EXPECT_TRUE(Create());
        user = conformance::MakeUser(*this);
        for (const char* s : {"one", "two", "three"})
            GetDlgItem<fw::CListBox>(kList).AddString(s);
    }
    ~TestDialog() override {
        user.reset();
        DestroyWindow();
    }
    bool OnWndEvent(const fw::Event& e, fw::EventReply& reply) override {
        const unsigned told[] = {EN_CHANGE, EN_KILLFOCUS, BN_CLICKED, LBN_SELCHANGE, LBN_DBLCLK};
        if (e.msg == fw::Msg::VScroll || (e.id > 2 && std::ranges::count(told, e.code)))
            log.push_back(N(e.code, e.id));
        return CDialog::OnWndEvent(e, reply);
    }

    std::unique_ptr<conformance::User> user;
    Log log;
    std::string name = "before";
    unsigned number = 7;
    int check = 1;

protected:
    void DoDataExchange(fw::CDataExchange* dx) override {
        fw::DDX_Text(dx, kName, name);
        fw::DDX_Text(dx, kNumber, number);
        fw::DDX_Check(dx, kCheck, check);
    }
    void OnOK() override { log.push_back("OnOK"); }
    void OnCancel() override { log.push_back("OnCancel"); }
};

TEST(Conformance, WhatTheDialogIsTold) {
    using D = TestDialog;
    using U = conformance::User;
    // clang-format off
    // What is done, what the dialog is told, the control with the focus afterwards.
    const std::tuple<const char*, std::function<void(D&, U&)>, Log, int> actions[] = {
        {"set", [](D& d, U&) { d.SetDlgItemText(kName, "日本"); }, {N(EN_CHANGE, kName)}, kName},
        {"type", [](D&, U& u) { u.Type(kNumber, "日本"); }, {kKill, kChange, kChange, kChange}, kNumber},
        {"check", [](D&, U& u) { u.Click(kCheck); }, {kKill, N(BN_CLICKED, kCheck)}, kCheck},
        {"OK", [](D&, U& u) { u.Click(IDOK); }, {kKill, "OnOK"}, IDOK},
        {"Enter", [](D&, U& u) { u.PressEnter(); }, {"OnOK"}, kName},
        {"Enter in the result", [](D&, U& u) { u.Focus(kResult), u.PressEnter(); }, {kKill}, kResult},
        {"Esc", [](D&, U& u) { u.PressEsc(); }, {"OnCancel"}, kName},
        {"box", [](D& d, U& u) { u.AnswerBox(IDCANCEL, d.log), d.MessageBox("続けますか", "", MB_OKCANCEL); },
         {kKill, "BOX 続けますか"}, kName},
        {"click twice", [](D&, U& u) { u.Select(kList, 1), u.Select(kList, 1); }, {kKill, kSel, kSel}, kList},
        {"double click", [](D&, U& u) { u.DoubleClick(kList, 2); }, {kKill, kSel, N(LBN_DBLCLK, kList)}, kList},
        {"arrows", [](D&, U& u) { u.ScrollArrow(kArrows, SB_LINEUP), u.ScrollArrow(kArrows, SB_LINEDOWN); },
         {N(SB_LINEUP, kArrows), kEnd, N(SB_LINEDOWN, kArrows), kEnd}, kName},
    };
    // clang-format on
    for (auto& [what, act, told, focus] : actions) {
        SCOPED_TRACE(what);
        TestDialog dlg;
        dlg.log.clear();
        act(dlg, *dlg.user);
        EXPECT_EQ(dlg.log, told);
        EXPECT_EQ(dlg.user->Focused(), focus);
    }
}

TEST(Conformance, DataExchangeStopsAtTheFirstFieldThatFails) {
    TestDialog dlg;
    EXPECT_EQ(dlg.GetDlgItemText(kNumber), "7");  // shown when the dialog opened
    dlg.SetDlgItemText(kName, "別");
    dlg.SetDlgItemText(kNumber, "-5");
    dlg.user->Click(kCheck);
    dlg.user->Focus(kName);
    dlg.log.clear();
    dlg.user->AnswerBox(IDOK, dlg.log);
    EXPECT_FALSE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.log, (Log{kKill, "BOX 正の整数を入力してください。", kKill}));
    EXPECT_EQ(dlg.user->Focused(), kNumber);
    EXPECT_EQ(std::to_string(dlg.number) + dlg.name + std::to_string(dlg.check), "7別1");
}

TEST(Time, FormatFillsOnlyItsFields) {
    for (auto [seconds, text] :
         {std::pair{0, "00時00分00秒 %X"}, {25 * 3600 + 62, "01時01分02秒 %X"}})
        EXPECT_EQ(fw::CTimeSpan(seconds).Format("%H時%M分%S秒 %X"), text);
    EXPECT_EQ((fw::CTime(100) - fw::CTime(39)).Format("%M %S"), "01 01");
}

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
    EXPECT_EQ(Log({Text(IDC_SRC_PATH), Text(IDC_DST_PATH), Text(IDC_LOG_PATH), dlg.m_strSrcPath,
                   dlg.m_strDstPath, dlg.m_strLogPath}),
              Log({cwd, cwd, log, cwd, cwd, log}));
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
                found = std::string("[") + root.Path("src/報告.txt") +
                        "]：ファイルの内容が異なっています";
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

// The log's bytes are the log writer's own; here, which lines reach it.
TEST_F(MainWindow, TheLogGetsTheLinesWhileOpenOnly) {
    TempDir dir;
    dlg.AddResult("closed before");
    ASSERT_TRUE(dlg.m_fpLog.Open(platform::RealFileSystem(), dir.Path("check.log")));
    dlg.m_bLogOpen = true;
    for (const char* line : {"%d%s", ""})
        dlg.AddResult(line);
    ASSERT_TRUE(dlg.m_fpLog.Close());
    dlg.m_bLogOpen = false;
    dlg.AddResult("closed after");
    EXPECT_EQ(dir.ReadFile("check.log"), "%d%s\r\n\r\n");
    EXPECT_TRUE(Text(IDC_RESULT).ends_with("\r\nclosed before\r\n%d%s\r\n\r\nclosed after"));
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
