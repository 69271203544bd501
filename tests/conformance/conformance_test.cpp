// Over the headless backend and over real windows under Wine: what the program's handlers
// rely on from the dialog manager, and the program's two windows driven as a person would.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/CopyCheckDlg.h"
#include "dirpick/DirSelectDlg.h"
#include "framework/ddx.h"
#include "platform/dirs.h"
#include "tests/conformance/driver.h"
#include "tests/support/fake_fs.h"
#include "tests/support/tempdir.h"
#ifdef _WIN32
#include "framework/win32/win32.h"
#include "platform/wide_win32.h"
#endif

namespace {

using enum fw::ControlClass;
using Log = std::vector<std::string>;
using U = conformance::User;

constexpr int kName = 1001, kNumber = 1002, kResult = 1003, kCheck = 1004, kList = 1005;
constexpr uint32_t kField = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

// clang-format off
const fw::DialogTemplate kTemplate{900, "テスト", 220, 140, "ＭＳ Ｐゴシック", 9, WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, {
    {Edit, kName, "", 7, 7, 120, 14, kField},
    {Edit, kNumber, "", 7, 24, 60, 14, kField},
    {Edit, kResult, "", 7, 41, 120, 56, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_WANTRETURN | WS_BORDER | WS_VSCROLL},
    {Button, kCheck, "チェック", 135, 41, 70, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
    {ListBox, kList, "", 135, 55, 70, 42, LBS_SORT | LBS_NOTIFY | WS_BORDER | WS_VSCROLL},
    {Button, IDOK, "OK", 163, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {Button, IDCANCEL, "キャンセル", 163, 24, 50, 14, WS_TABSTOP}}};
// clang-format on

std::string N(unsigned code, int id) {
    return std::to_string(code) + " " + std::to_string(id);
}
const std::string kKill = N(EN_KILLFOCUS, kName), kSel = N(LBN_SELCHANGE, kList),
                  kChange = N(EN_CHANGE, kNumber);

// A dialog open, with a user at it; before is called ahead of the opening.
template <class D>
struct Open : D {
    explicit Open(const std::function<void(D&)>& before = nullptr) {
        if (before)
            before(*this);
        EXPECT_TRUE(this->Create());
        user = conformance::MakeUser(*this);
    }
    ~Open() override {
        user.reset();
        this->DestroyWindow();
    }
    std::string Text(int id) { return this->GetDlgItemText(id); }

    std::unique_ptr<U> user;
};

// Logs the notifications the program handles (but OK's and Cancel's); OK and Cancel leave it
// open.
struct TestDialog : fw::CDialog {
    TestDialog() : CDialog(kTemplate) {}
    bool OnWndEvent(const fw::Event& e, fw::EventReply& reply) override {
        const unsigned told[] = {EN_CHANGE, EN_KILLFOCUS, BN_CLICKED, LBN_SELCHANGE, LBN_DBLCLK};
        if (e.msg == fw::Msg::Command && e.id > 2 && std::ranges::count(told, e.code))
            log.push_back(N(e.code, e.id));
        return CDialog::OnWndEvent(e, reply);
    }
    void DoDataExchange(fw::CDataExchange* dx) override {
        fw::DDX_Text(dx, kName, name);
        fw::DDX_Text(dx, kNumber, number);
        fw::DDX_Check(dx, kCheck, check);
    }
    void OnOK() override { log.push_back("OnOK"); }
    void OnCancel() override { log.push_back("OnCancel"); }

    Log log;
    std::string name = "before";
    unsigned number = 7;
    int check = 1;
};
using D = Open<TestDialog>;

TEST(Conformance, WhatTheDialogIsTold) {
    // clang-format off
    // What is done, what the dialog is told, the control with the focus afterwards.
    const std::tuple<const char*, std::function<void(D&, U&)>, Log, int> actions[] = {
        {"set", [](D& d, U&) { d.SetDlgItemText(kName, "日本"), d.SetDlgItemText(kResult, "x"); }, {N(EN_CHANGE, kName)}, kName},
        {"type", [](D&, U& u) { u.Type(kNumber, "日本"); }, {kKill, kChange, kChange, kChange}, kNumber},
        {"check", [](D&, U& u) { u.Click(kCheck); }, {kKill, N(BN_CLICKED, kCheck)}, kCheck},
        {"OK", [](D&, U& u) { u.Click(IDOK); }, {kKill, "OnOK"}, IDOK},
        {"Enter", [](D&, U& u) { u.PressEnter(); }, {"OnOK"}, kName},
        {"Enter in the result", [](D&, U& u) { u.Focus(kResult), u.PressEnter(); }, {kKill}, kResult},
        {"Esc", [](D&, U& u) { u.PressEsc(); }, {"OnCancel"}, kName},
        {"box", [](D& d, U&) { conformance::AnswerBox(IDCANCEL, d.log), d.MessageBox("続けますか", "", MB_OKCANCEL); },
         {kKill, "BOX 続けますか"}, kName},
        {"click twice", [](D&, U& u) { u.Select(kList, 1), u.Select(kList, 1); }, {kKill, kSel, kSel}, kList},
        {"double click", [](D&, U& u) { u.DoubleClick(kList, 2); }, {kKill, kSel, N(LBN_DBLCLK, kList)}, kList},
        // Data exchange stops at the first field that fails, which takes the focus.
        {"exchange", [](D& d, U&) { d.SetDlgItemText(kName, "別"), d.SetDlgItemText(kNumber, "-5"), d.GetDlgItem<fw::CButton>(kCheck).SetCheck(0),
             conformance::AnswerBox(IDOK, d.log), d.log.push_back(std::to_string(d.UpdateData(true)) + d.name + std::to_string(d.number) + std::to_string(d.check)); },
         {N(EN_CHANGE, kName), kChange, kKill, "BOX 正の整数を入力してください。", kKill, "0別71"}, kNumber},
    };
    // clang-format on
    for (auto& [what, act, told, focus] : actions) {
        SCOPED_TRACE(what);
        D dlg;
        for (const char* s : {"one", "two", "three"})
            dlg.GetDlgItem<fw::CListBox>(kList).AddString(s);
        EXPECT_EQ(dlg.Text(kNumber), "7");  // shown when it opened
        dlg.log.clear();
        act(dlg, *dlg.user);
        EXPECT_EQ(dlg.log, told);
        EXPECT_EQ(dlg.user->Focused(), focus);
    }
}

struct MainWindow : testing::Test, Open<CCopyCheckDlg> {};

// Esc closes it.
TEST_F(MainWindow, StartsWithTheDefaultsAndKeepLogEnablesTheLogFieldAndItsButton) {
    std::string cwd = Cwd(), log = cwd + Sep() + "check.log";
    EXPECT_EQ(Log({Text(IDC_SRC_PATH), Text(IDC_DST_PATH), m_strSrcPath, m_strDstPath, m_strLogPath,
                   Text(IDC_DIFF_LIMIT), Text(IDC_BLOCK_KB), std::to_string(m_nDiffLimit),
                   std::to_string(m_nBlockKB), Text(IDC_RESULT)}),
              Log({cwd, cwd, cwd, cwd, log, "1", "1024", "1", "1024", ""}));
    EXPECT_EQ(m_bNamesOnly + GetDlgItem<fw::CButton>(IDC_NAMES_ONLY).GetCheck(), 0);
    EXPECT_EQ(user->Focused(), static_cast<int>(IDOK));
    for (int on : {0, 1, 0}) {
        EXPECT_EQ(m_bKeepLog + GetDlgItem<fw::CButton>(IDC_KEEP_LOG).GetCheck(), 2 * on);
        EXPECT_EQ(user->Enabled(IDC_LOG_PATH) + user->Enabled(IDC_LOG_BROWSE), 2 * on);
        EXPECT_EQ(Text(IDC_LOG_PATH), log);
        user->Click(IDC_KEEP_LOG);
    }
    user->PressEsc();
    EXPECT_TRUE(user->Ended());
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
        std::string before = Text(IDC_RESULT);
        user->Type(field, typed);
        EXPECT_EQ(Text(field), typed);  // not while typing
        user->Focus(IDC_SRC_PATH);
        EXPECT_EQ(Text(field), shown);
        EXPECT_EQ(field == kDiff ? m_nDiffLimit : m_nBlockKB, member);
        EXPECT_EQ(Text(IDC_RESULT), before + (notice ? kNotice[field == kBlock] : ""));
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
        SetDlgItemText(IDC_BLOCK_KB, from);
        m_nBlockKB = 0;
        user->ScrollArrow(IDC_BLOCK_SPIN, code);
        EXPECT_EQ(Text(IDC_BLOCK_KB), std::to_string(to)) << from << " " << code;
        EXPECT_EQ(m_nBlockKB, code == SB_PAGEDOWN ? 0 : to) << from << " " << code;
    }
    EXPECT_EQ(Text(IDC_RESULT), "");
}

// Enter leaves the focus in the field until the confirmation takes it: the correction comes
// before the run reads the settings.
TEST_F(MainWindow, EnterInAFieldCorrectsItThenRuns) {
    TempDir root;
    root.WriteFile("src/a.txt", "contents");
    root.WriteFile("dst/a.txt", "contentz");
    SetDlgItemText(IDC_SRC_PATH, root.Path("src"));
    SetDlgItemText(IDC_DST_PATH, root.Path("dst"));
    user->Type(IDC_DIFF_LIMIT, "0");
    Log boxes;
    conformance::AnswerBox(IDOK, boxes);
    user->PressEnter();
    EXPECT_EQ(boxes, Log{"BOX ファイルの比較を開始するんですね？"});
    EXPECT_TRUE(Text(IDC_RESULT).starts_with("\r\nNotice>差違の数"));
    EXPECT_NE(Text(IDC_RESULT).find("\r\n差違が 1 個発見されたら中断します\r\n"),
              std::string::npos);
    EXPECT_FALSE(user->Ended());
}

#ifdef _WIN32
constexpr int kWineSlack = 15;  // Wine's edit stops scrolling once the last line is in the view
#else
constexpr int kWineSlack = 0;
#endif

TEST(ResultWindow, ShowsTheNewest32WithTheNewestOnTop) {
    Log all;  // "1" to "40"
    for (int i = 1; i <= 40; ++i)
        all.push_back(std::to_string(i));
    auto lines = [&](int from, int to) { return Log(all.begin() + from - 1, all.begin() + to); };
    // Added, shown, the first visible line, the next slot.
    const std::tuple<Log, Log, int, int> rings[] = {
        {lines(1, 1), lines(1, 1), 1, 1},         {lines(1, 33), lines(2, 33), 32, 1},
        {lines(1, 40), lines(9, 40), 32, 8},      {{"a", ""}, {"a", ""}, 2, 2},
        {{"a", "b\r\nc"}, {"a", "b\r\nc"}, 2, 2},  // "b", the newest entry's first line
        {{"100%d %s %%"}, {"100%d %s %%"}, 1, 1},
    };
    for (auto& [added, shown, firstVisible, next] : rings) {
        Open<CCopyCheckDlg> w;
        std::string text;
        for (const std::string& line : added)
            w.AddResult(line);
        for (const std::string& line : shown)
            text.append("\r\n").append(line);
        EXPECT_EQ(w.Text(IDC_RESULT), text);
        int first = w.user->FirstVisibleLine(IDC_RESULT);
        EXPECT_EQ(w.m_nNextLine, next);
        EXPECT_TRUE(first <= firstVisible && first >= firstVisible - kWineSlack) << first;
    }
}

// The real file system, but for a directory that cannot be entered (named as the picker
// names it, with a separator) and drives, that cannot be made current.
struct PickyFileSystem : test::FakeFileSystem {
    std::string unenterable;
    bool ChangeDir(const std::string& dir, platform::Error& error) override {
        return dir != unenterable && FakeFileSystem::ChangeDir(dir, error);
    }
    bool ChangeDrive(int, platform::Error&) override { return false; }
};

TEST(Picker, OpensListsSelectsAndEnters) {
    TempDir root;
    for (const char* d : {"work/beta", "work/Alpha", "work/_under", "work/c.d", "work/9lives"})
        root.MakeDir(d);
    root.WriteFile("work/file.txt", "not a directory");
    const std::string start = Cwd(), sep = Sep(), work = root.Path("work"),
                      alpha = root.Path("work/Alpha"), beta = root.Path("work/beta"),
                      top = root.path().substr(0, root.path().find(sep) + 1);
    const Log kWork{"[.]", "[..]", "[_under]", "[9lives]", "[Alpha]", "[beta]", "[c.d]"};
    const int kUnder = 2, kAlpha = 4, kBeta = 5, kDirs = IDC_DIR_LIST;
    PickyFileSystem fs;
    fs.unenterable = root.Path("work/c.d") + sep;
    platform::Error error;
    ASSERT_TRUE(platform::SetCurrentDir(work, error));
    // clang-format off
    // Where it opens, what is done, the boxes, then the path shown and chosen, the current
    // directory and the start of the directory list; how it is closed (0: Enter).
    const std::tuple<std::string, std::function<void(U&)>, Log, std::string, std::string, Log, int> picks[] = {
        {root.Path("missing"), [](U&) {}, {}, work, work, kWork, IDCANCEL},
        {root.Path("work/file.txt"), [](U&) {}, {}, work, work, kWork, 0},
        {alpha, [](U&) {}, {}, alpha, alpha, {"[.]", "[..]"}, IDOK},
        {"", [=](U& u) { u.DoubleClick(kDirs, kBeta); }, {}, beta, beta, {"[.]", "[..]"}, IDOK},
        {"", [=](U& u) { u.Select(kDirs, kUnder); }, {}, root.Path("work/_under") + sep, work, kWork, 0},
        {"", [=](U& u) { u.Select(kDirs, 1); }, {}, root.path() + sep, work, kWork, IDOK},  // [..]
        {"", [=](U& u) { u.Select(kDirs, kBeta), u.DoubleClick(kDirs, 0); }, {}, work, work, kWork, IDOK},  // [.]
        {"", [=](U& u) { u.DoubleClick(kDirs, kAlpha), u.Click(IDC_JUMP_ROOT); }, {}, top, top, {"[.]"}, IDOK},
        {"", [=](U& u) { u.DoubleClick(kDirs, 6); }, {"BOX 指定ディレクトリは現在使用不可のようです"}, work, work, kWork, IDOK},
        {"", [=](U& u) { u.Select(IDC_DRIVE_LIST, 0); }, {"BOX 指定ドライブは現在使用不可のようです"}, work, work, kWork, IDCANCEL},
    };
    // clang-format on
    int row = 0;
    for (auto& [init, act, box, shown, cwd, list, close] : picks) {
        SCOPED_TRACE(row++);
        Open<CDirSelectDlg> p(
            [&](CDirSelectDlg& d) { d.m_strInitPath = init, d.SetFileSystem(fs); });
        Log boxes;
        if (!box.empty())
            conformance::AnswerBox(IDOK, boxes);
        act(*p.user);
        Log items = p.user->Items(kDirs);
        items.resize(std::min(items.size(), list.size()));
        EXPECT_EQ(Log({p.Text(IDC_CUR_PATH), p.m_strSelPath, Cwd()}), Log({shown, shown, cwd}));
        EXPECT_EQ(items, list);
        EXPECT_GE(p.GetDlgItem<fw::CListBox>(IDC_DRIVE_LIST).GetCurSel(), 0);
        EXPECT_EQ(boxes, box);
        close ? p.user->Click(close) : p.user->PressEnter();
        EXPECT_EQ(Cwd() + " " + std::to_string(p.user->Ended()), work + " 1");
    }
    platform::SetCurrentDir(start, error);
}

#ifdef _WIN32
// The dialogs' font asks for the Japanese character set, so that a fallback for its face is
// Japanese too. Wine makes the font with the default set whatever the template says, so the
// template is read: the caption from word 15 on; then the point size, the weight, the italic
// flag and the character set, and the face name.
TEST(Win32Template, TheFontAsksForShiftJis) {
    for (int id : {IDD_COPYCHECK_DIALOG, IDD_DIRSELECT}) {
        const fw::DialogTemplate& tpl = *fw::FindDialogTemplate(id);
        std::vector<uint16_t> words = fw::win32::TemplateWords(tpl);
        size_t font = 15 + platform::ToWide(tpl.caption).size() + 1;
        ASSERT_GT(words.size(), font + 3);
        EXPECT_EQ(words[font], 9);
        EXPECT_EQ(words[font + 2], 0x8000);  // not italic; SHIFTJIS_CHARSET, 128
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(&words[font + 3])),
                  L"ＭＳ Ｐゴシック");
    }
}
#endif

}  // namespace
