// Over the headless backend and over real windows under Wine: what the program's handlers
// rely on from the dialog manager, and the program's two windows driven as a person would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

#include "app/CopyCheckDlg.h"
#include "dirpick/DirSelectDlg.h"
#include "tests/conformance/driver.h"
#include "tests/support/fake_fs.h"
#include "tests/support/tempdir.h"
#ifdef _WIN32
#include "framework/win32/win32.h"
#include "platform/wide_win32.h"
#endif

namespace {

using Log = std::vector<std::string>;
using U = conformance::User;

std::string N(unsigned code, int id) {
    return std::to_string(code) + " " + std::to_string(id);
}

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

// Logs what it is told, but OK's and Cancel's clicks, before it acts.
template <class W>
struct Logged : W {
    bool OnWndEvent(const fw::Event& e, fw::EventReply& reply) override {
        const unsigned told[] = {EN_CHANGE, EN_KILLFOCUS, BN_CLICKED, LBN_SELCHANGE, LBN_DBLCLK};
        if (e.msg == fw::Msg::Command && e.id > 2 && std::ranges::count(told, e.code))
            log.push_back(N(e.code, e.id));
        return W::OnWndEvent(e, reply);
    }
    Log log;
};
using W = Open<Logged<CCopyCheckDlg>>;

// A field the focus leaves is corrected before a box, the confirmation included, takes it.
TEST(Notifications, ReachTheMainWindowInOrder) {
    const int kSrc = IDC_SRC_PATH, kDst = IDC_DST_PATH, kDiff = IDC_DIFF_LIMIT;
    const std::string kConfirm = "BOX ファイルの比較を開始するんですね？",
                      kSrcChange = N(EN_CHANGE, kSrc), kDiffChange = N(EN_CHANGE, kDiff);
    // clang-format off
    // What is done, what the window is told, the control with the focus afterwards.
    const std::tuple<const char*, std::function<void(W&, U&)>, Log, int> actions[] = {
        {"set", [](W& w, U&) { w.SetDlgItemText(kSrc, "日本"), w.SetDlgItemText(IDC_RESULT, "x"); }, {kSrcChange}, IDOK},
        {"type", [](W&, U& u) { u.Type(kSrc, "日本"); }, {kSrcChange, kSrcChange, kSrcChange}, kSrc},
        {"check", [](W&, U& u) { u.Focus(kDst), u.Click(IDC_NAMES_ONLY); }, {N(EN_KILLFOCUS, kDst), N(BN_CLICKED, IDC_NAMES_ONLY)}, IDC_NAMES_ONLY},
        {"OK", [](W& w, U& u) { u.Focus(kDst), conformance::AnswerBox(IDCANCEL, w.log), u.Click(IDOK); }, {N(EN_KILLFOCUS, kDst), kConfirm}, IDOK},
        {"Enter", [](W& w, U& u) { u.Type(kDiff, "0"), conformance::AnswerBox(IDCANCEL, w.log), u.PressEnter(); },
         {kDiffChange, kDiffChange, N(EN_KILLFOCUS, kDiff), kDiffChange, kConfirm}, kDiff},
        {"Enter in the result", [](W&, U& u) { u.Focus(IDC_RESULT), u.PressEnter(); }, {}, IDC_RESULT},
        // Data exchange stops at the first field that fails, which takes the focus.
        {"exchange", [](W& w, U&) { w.SetDlgItemText(IDC_RESULT, "r"), w.SetDlgItemText(kDiff, "-5"), w.SetDlgItemText(IDC_BLOCK_KB, "5"),
             conformance::AnswerBox(IDOK, w.log), w.log.push_back(std::to_string(w.UpdateData(true)) + w.m_strResult + std::to_string(w.m_nBlockKB)); },
         {kDiffChange, N(EN_CHANGE, IDC_BLOCK_KB), "BOX 正の整数を入力してください。", "0r1024"}, kDiff},
    };
    // clang-format on
    for (auto& [what, act, told, focus] : actions) {
        SCOPED_TRACE(what);
        W w;
        w.log.clear();
        act(w, *w.user);
        EXPECT_EQ(w.log, told);
        EXPECT_EQ(w.user->Focused(), focus);
    }
}

struct MainWindow : testing::Test, Open<CCopyCheckDlg> {};

TEST_F(MainWindow, StartsWithTheDefaultsAndKeepLogEnablesTheLogFieldAndItsButton) {
    std::string cwd = Cwd(), log = cwd + Sep() + "check.log";
    EXPECT_EQ(
        Log({Text(IDC_SRC_PATH), Text(IDC_DST_PATH), m_strSrcPath, m_strDstPath, m_strLogPath,
             Text(IDC_DIFF_LIMIT), Text(IDC_BLOCK_KB), std::to_string(m_nDiffLimit),
             std::to_string(m_nBlockKB), Text(IDC_RESULT),
             std::to_string(m_bNamesOnly + GetDlgItem<fw::CButton>(IDC_NAMES_ONLY).GetCheck()),
             std::to_string(user->Focused())}),
        Log({cwd, cwd, cwd, cwd, log, "1", "1024", "1", "1024", "", "0", std::to_string(IDOK)}));
    for (int on : {0, 1, 0}) {
        EXPECT_EQ(m_bKeepLog + GetDlgItem<fw::CButton>(IDC_KEEP_LOG).GetCheck(), 2 * on);
        EXPECT_EQ(user->Enabled(IDC_LOG_PATH) + user->Enabled(IDC_LOG_BROWSE), 2 * on);
        EXPECT_EQ(Text(IDC_LOG_PATH), log);
        user->Click(IDC_KEEP_LOG);
    }
    user->PressEsc();
    EXPECT_TRUE(user->Ended());  // Esc closes it
}

// What is typed into a number field is corrected once the focus leaves it, or stepped by the
// arrows beside the block size.
TEST_F(MainWindow, NumbersAreCorrectedOnLeavingTheirFieldsOrStepped) {
    const int kDiff = IDC_DIFF_LIMIT, kBlock = IDC_BLOCK_KB, kUp = SB_LINEUP, kDown = SB_LINEDOWN,
              kOut = -1;
    const std::string kNotice[] = {"\r\nNotice>差違の数は、1～999の範囲に自動修正されます",
                                   "\r\nNotice>比較サイズは、1～10240の範囲に自動修正されます"};
    // clang-format off
    // The field, what is typed, the step or the focus leaving, what it shows, the member, a notice.
    const std::tuple<int, const char*, int, const char*, unsigned, bool> numbers[] = {
        {kDiff, "0", kOut, "1", 1, true}, {kDiff, "1", kOut, "1", 1, false}, {kDiff, "999", kOut, "999", 999, false},
        {kDiff, "1000", kOut, "999", 999, true}, {kDiff, "-5", kOut, "999", 999, true}, {kDiff, "", kOut, "1", 1, true},
        {kDiff, "abc", kOut, "1", 1, true}, {kDiff, " +12 ", kOut, " +12 ", 12, false}, {kDiff, "1 2", kOut, "1", 1, true},
        {kDiff, "2147483648", kOut, "1", 1, true}, {kDiff, "-2147483648", kOut, "999", 999, true},
        {kBlock, "0", kOut, "1", 1, true}, {kBlock, "1", kOut, "1", 1, false}, {kBlock, "10240", kOut, "10240", 10240, false},
        {kBlock, "10241", kOut, "10240", 10240, true}, {kBlock, "-1", kOut, "10240", 10240, true}, {kBlock, "", kOut, "1", 1, true},
        {kBlock, "1024", kUp, "2048", 2048, false}, {kBlock, "1024", kDown, "1", 1, false}, {kBlock, "500", kUp, "1024", 1024, false},
        {kBlock, "500", kDown, "1", 1, false}, {kBlock, "1", kUp, "1024", 1024, false}, {kBlock, "1", kDown, "1", 1, false},
        {kBlock, "9300", kUp, "10240", 10240, false}, {kBlock, "9300", kDown, "9216", 9216, false},
        {kBlock, "10240", kUp, "10240", 10240, false}, {kBlock, "10240", kDown, "9216", 9216, false},
        {kBlock, "9216", kUp, "10240", 10240, false}, {kBlock, "", kDown, "1", 1, false}, {kBlock, "2048", SB_PAGEDOWN, "2048", 0, false},
    };
    // clang-format on
    for (auto [field, typed, step, shown, member, notice] : numbers) {
        SCOPED_TRACE(typed);
        std::string before = Text(IDC_RESULT);
        user->Type(field, typed);
        EXPECT_EQ(Text(field), typed);  // not while typing
        m_nBlockKB = 0;
        step == kOut ? user->Focus(IDC_SRC_PATH) : user->ScrollArrow(IDC_BLOCK_SPIN, step);
        EXPECT_EQ(Text(field), shown);
        EXPECT_EQ(field == kDiff ? m_nDiffLimit : m_nBlockKB, member);
        EXPECT_EQ(Text(IDC_RESULT), before + (notice ? kNotice[field == kBlock] : ""));
    }
}

TEST(ResultWindow, ShowsTheNewest32WithTheNewestOnTop) {
    Log all;  // "1" to "40"
    for (int i = 1; i <= 40; ++i)
        all.push_back(std::to_string(i));
    // clang-format off
    // Added, how many of them are no longer shown, the first visible line (or one up to 15
    // before: Wine's edit stops scrolling once the last line is in view).
    const std::tuple<Log, size_t, int> rings[] = {
        {Log(all.begin(), all.begin() + 33), 1, 32}, {all, 8, 32}, {{"a", ""}, 0, 2},
        {{"a", "b\r\nc"}, 0, 2} /* "b": the newest's first line */, {{"100%d %s %%"}, 0, 1},
    };
    // clang-format on
    for (auto& [added, gone, firstVisible] : rings) {
        Open<CCopyCheckDlg> w;
        std::string text;
        for (size_t i = 0; i < added.size(); ++i) {
            w.AddResult(added[i]);
            if (i >= gone)
                text.append("\r\n").append(added[i]);
        }
        EXPECT_EQ(w.Text(IDC_RESULT), text);
        int first = w.user->FirstVisibleLine(IDC_RESULT);
        EXPECT_TRUE(first <= firstVisible && first >= firstVisible - 15) << first;
    }
}

// The real file system, but for a directory that cannot be entered (named with a separator).
struct PickyFileSystem : test::FakeFileSystem {
    std::string unenterable;
    bool ChangeDir(const std::string& dir, platform::Error& error) override {
        return dir != unenterable && FakeFileSystem::ChangeDir(dir, error);
    }
};

TEST(Picker, OpensListsSelectsAndEnters) {
    TempDir root;
    for (const char* d : {"work/beta", "work/Alpha", "work/_under", "work/c.d", "work/9lives"})
        root.MakeDir(d);
    root.WriteFile("work/file.txt", "not a directory");
    const int kUnder = 2, kAlpha = 4, kBeta = 5, kDirs = IDC_DIR_LIST;
    const std::string start = Cwd(), sep = Sep(), work = root.Path("work"),
                      top = root.path().substr(0, root.path().find(sep) + 1),
                      S = N(LBN_SELCHANGE, kDirs), D = N(LBN_DBLCLK, kDirs);
    const Log kWork{"[.]", "[..]", "[_under]", "[9lives]", "[Alpha]", "[beta]", "[c.d]"};
    PickyFileSystem fs;
    fs.unenterable = root.Path("work/c.d") + sep;
    // clang-format off
    // Where it opens (where the process is if it cannot), what is done, what it is told, then
    // the path shown and chosen, the current directory and the start of the directory list; how
    // it is closed (0: Enter).
    const std::tuple<std::string, std::function<void(U&)>, Log, std::string, std::string, Log, int> picks[] = {
        {root.Path("missing"), [](U&) {}, {}, start, start, {"[.]", "[..]"}, IDCANCEL},
        {root.Path("work/file.txt"), [](U&) {}, {}, start, start, {"[.]", "[..]"}, 0},
        {work, [=](U& u) { u.DoubleClick(kDirs, kBeta); }, {S, D}, root.Path("work/beta"), root.Path("work/beta"), {"[.]", "[..]"}, IDOK},
        {work, [=](U& u) { u.Select(kDirs, kUnder), u.Select(kDirs, kUnder); }, {S, S}, root.Path("work/_under") + sep, work, kWork, 0},
        {work, [=](U& u) { u.Select(kDirs, 1); }, {S}, root.path() + sep, work, kWork, IDOK},  // [..]
        {work, [=](U& u) { u.DoubleClick(kDirs, kAlpha), u.Click(IDC_JUMP_ROOT); }, {S, D, N(BN_CLICKED, IDC_JUMP_ROOT)}, top, top, {"[.]"}, IDOK},
        {work, [=](U& u) { u.DoubleClick(kDirs, 6); }, {S, D, "BOX 指定ディレクトリは現在使用不可のようです"}, work, work, kWork, IDOK},
    };
    // clang-format on
    int row = 0;
    for (auto& [init, act, told, shown, cwd, list, close] : picks) {
        SCOPED_TRACE(row++);
        Open<Logged<CDirSelectDlg>> p(
            [&](auto& d) { d.m_strInitPath = init, d.SetFileSystem(fs); });
        if (!told.empty() && told.back().starts_with("BOX"))
            conformance::AnswerBox(IDOK, p.log);
        act(*p.user);
        Log items = p.user->Items(kDirs);
        items.resize(std::min(items.size(), list.size()));
        EXPECT_EQ(Log({p.Text(IDC_CUR_PATH), p.m_strSelPath, Cwd()}), Log({shown, shown, cwd}));
        EXPECT_EQ(items, list);
        EXPECT_GE(p.GetDlgItem<fw::CListBox>(IDC_DRIVE_LIST).GetCurSel(), 0);
        EXPECT_EQ(p.log, told);
        close ? p.user->Click(close) : p.user->PressEnter();
        EXPECT_EQ(Cwd() + " " + std::to_string(p.user->Ended()), start + " 1");
    }
#ifdef _WIN32
    // The drive chosen is the one made current, not its neighbour in the alphabet.
    Open<Logged<CDirSelectDlg>> p([&](auto& d) { d.m_strInitPath = work, d.SetFileSystem(fs); });
    Log drives = p.user->Items(IDC_DRIVE_LIST);
    p.user->Select(IDC_DRIVE_LIST, static_cast<int>(drives.size()) - 1);
    EXPECT_EQ(std::toupper(Cwd()[0]), std::toupper(drives.back()[2])) << drives.back();
    p.user->Click(IDCANCEL);
#endif
}

#ifndef _WIN32
// Headless only, for the picker is a modal dialog the script answers: each browse touches its
// own field only, and only when the choice is confirmed; the log's proposes check.log and
// writes nothing. A picker whose first listing fails is cancelled.
TEST_F(MainWindow, EachBrowseSetsItsOwnField) {
    TempDir root;
    root.MakeDir("a");
    const std::string a = root.Path("a") + Sep(), log = root.Path("new.log");
    user->Type(IDC_SRC_PATH, root.path());
    user->Type(IDC_DST_PATH, root.path());
    // The button, how the picker is closed on [a] (0: Enter), then the source and destination.
    const std::tuple<int, int, std::string, std::string> browses[] = {
        {IDC_SRC_BROWSE, IDCANCEL, root.path(), root.path()},
        {IDC_SRC_BROWSE, 0, a, root.path()},
        {IDC_DST_BROWSE, IDOK, a, a},
    };
    for (auto [button, close, src, dst] : browses) {
        test::AnswerNextDialog([close](U& u) {
            u.Select(IDC_DIR_LIST, 2);
            close ? u.Click(close) : u.PressEnter();
        });
        user->Click(button);
        EXPECT_EQ(Log({Text(IDC_SRC_PATH), m_strSrcPath, Text(IDC_DST_PATH), m_strDstPath}),
                  Log({src, src, dst, dst}));
    }
    user->Click(IDC_KEEP_LOG);
    user->Type(IDC_LOG_PATH, "other.log");
    for (auto [chosen, field] :
         {std::pair<std::optional<std::string>, std::string>{{}, "other.log"}, {log, log}}) {
        test::AnswerFileDialog(chosen);
        user->Click(IDC_LOG_BROWSE);
        EXPECT_EQ(Text(IDC_LOG_PATH) + " " + m_strLogPath, field + " " + field);
        auto dialog = test::TakeFileDialogs().at(0);
        EXPECT_EQ((dialog.open ? "open " : "save ") + dialog.fileName, "save check.log");
    }
    EXPECT_FALSE(platform::RealFileSystem().Exists(log));
    test::FakeFileSystem empty;
    fw::headless::UseFileSystem(&empty);
    test::AnswerMessageBox(IDOK);
    user->Click(IDC_SRC_BROWSE);  // ends before it is shown: nothing to script
    auto box = test::TakeMessageBoxes().at(0);
    EXPECT_EQ(box.text + "|" + box.caption, "ディレクトリ情報は正常に読み込めませんでした|エラー");
    EXPECT_EQ(Text(IDC_SRC_PATH) + Text(IDC_DST_PATH), a + a);
}
#else
// The dialogs' font asks for the Japanese character set, for a Japanese fallback face; Wine
// ignores it, so the template is read: the caption from word 15 on, then the point size, the
// weight, the italic flag and the character set.
TEST(Win32Template, TheFontAsksForShiftJis) {
    for (int id : {IDD_COPYCHECK_DIALOG, IDD_DIRSELECT}) {
        const fw::DialogTemplate& tpl = *fw::FindDialogTemplate(id);
        std::vector<uint16_t> words = fw::win32::TemplateWords(tpl);
        size_t font = 15 + platform::ToWide(tpl.caption).size() + 1;
        ASSERT_GT(words.size(), font + 3);
        EXPECT_EQ(words[font], 9);
        EXPECT_EQ(words[font + 2], 0x8000);  // not italic; SHIFTJIS_CHARSET, 128
    }
}
#endif

}  // namespace
