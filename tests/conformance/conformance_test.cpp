// The same dialog driven the same way on each backend must tell its code the same things:
// these tests run natively over the headless backend and under Wine over real windows.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/ddx.h"
#include "framework/time.h"
#include "framework/window.h"
#include "tests/conformance/driver.h"

namespace {

using fw::ControlClass;

constexpr int kName = 1001, kNumber = 1002, kResult = 1003, kCheck = 1004, kList = 1005,
              kBar = 1006, kArrows = 1007;
constexpr int kResultHeight = 56;  // dialog units: a handful of lines

const fw::DialogTemplate kTemplate{
    900,
    "テスト",
    220,
    140,
    "ＭＳ Ｐゴシック",
    9,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
    0,
    {
        {ControlClass::Edit, kName, "", 7, 7, 120, 14,
         ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
        {ControlClass::Edit, kNumber, "", 7, 24, 60, 14,
         ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
        {ControlClass::Edit, kResult, "", 7, 41, 120, kResultHeight,
         ES_LEFT | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_WANTRETURN | WS_BORDER |
             WS_VSCROLL | WS_TABSTOP},
        {ControlClass::Button, kCheck, "チェック", 135, 41, 70, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
        {ControlClass::ListBox, kList, "", 135, 55, 70, 42,
         LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_TABSTOP},
        {ControlClass::Progress, kBar, "", 7, 102, 120, 12, WS_BORDER},
        {ControlClass::ScrollBar, kArrows, "", 70, 24, 10, 14, SBS_VERT},
        {ControlClass::Button, IDOK, "OK", 163, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
        {ControlClass::Button, IDCANCEL, "キャンセル", 163, 24, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    }};

class TestDialog : public fw::CDialog {
public:
    TestDialog() : CDialog(kTemplate) {}

    bool OnWndEvent(const fw::Event& event, fw::EventReply& reply) override;

    std::vector<std::string> log;
    std::string name = "before";
    unsigned number = 7;
    int check = 1;

protected:
    void DoDataExchange(fw::CDataExchange* dx) override {
        fw::DDX_Text(dx, kName, name);
        fw::DDX_Text(dx, kNumber, number);
        fw::DDX_Check(dx, kCheck, check);
    }
    // Stays open, so one dialog can take several presses.
    void OnOK() override { log.push_back("OnOK"); }
    void OnCancel() override { log.push_back("OnCancel"); }

private:
    template <unsigned Code, int Id>
    void Note() {
        log.push_back(CodeName(Code) + " " + std::to_string(Id));
    }
    void OnArrows(unsigned code, unsigned, fw::CScrollBar* bar) {
        log.push_back("WM_VSCROLL " + std::to_string(bar->GetDlgCtrlID()) + " " +
                      std::to_string(code));
    }
    static std::string CodeName(unsigned code) {
        switch (code) {
            case EN_CHANGE:
                return "EN_CHANGE";
            case EN_KILLFOCUS:
                return "EN_KILLFOCUS";
            case BN_CLICKED:
                return "BN_CLICKED";
            case LBN_SELCHANGE:
                return "LBN_SELCHANGE";
            case LBN_DBLCLK:
                return "LBN_DBLCLK";
        }
        return std::to_string(code);
    }

    static const fw::EventEntry<TestDialog> kEvents[];
};

constexpr fw::EventEntry<TestDialog> TestDialog::kEvents[] = {
    fw::OnCommand(EN_CHANGE, kName, &TestDialog::Note<EN_CHANGE, kName>),
    fw::OnCommand(EN_CHANGE, kNumber, &TestDialog::Note<EN_CHANGE, kNumber>),
    fw::OnCommand(EN_CHANGE, kResult, &TestDialog::Note<EN_CHANGE, kResult>),
    fw::OnCommand(EN_KILLFOCUS, kName, &TestDialog::Note<EN_KILLFOCUS, kName>),
    fw::OnCommand(EN_KILLFOCUS, kNumber, &TestDialog::Note<EN_KILLFOCUS, kNumber>),
    fw::OnCommand(EN_KILLFOCUS, kResult, &TestDialog::Note<EN_KILLFOCUS, kResult>),
    fw::OnCommand(BN_CLICKED, kCheck, &TestDialog::Note<BN_CLICKED, kCheck>),
    fw::OnCommand(LBN_SELCHANGE, kList, &TestDialog::Note<LBN_SELCHANGE, kList>),
    fw::OnCommand(LBN_DBLCLK, kList, &TestDialog::Note<LBN_DBLCLK, kList>),
    fw::OnVScrollMsg(&TestDialog::OnArrows),
};

bool TestDialog::OnWndEvent(const fw::Event& event, fw::EventReply& reply) {
    return fw::Dispatch<TestDialog>(*this, kEvents, event, reply) ||
           CDialog::OnWndEvent(event, reply);
}

using Log = std::vector<std::string>;

class Conformance : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create());
        user = conformance::MakeDriver(dlg, dlg.log);
        dlg.log.clear();
    }
    void TearDown() override {
        user.reset();
        dlg.DestroyWindow();
    }
    // What the dialog was told since the last call.
    Log Take() { return std::exchange(dlg.log, {}); }

    TestDialog dlg;
    std::unique_ptr<conformance::Driver> user;
};

TEST_F(Conformance, OpensWithTheFocusOnTheFirstTabStopAndTheMembersShown) {
    EXPECT_EQ(user->Focused(), kName);
    EXPECT_EQ(dlg.GetDlgItemText(kName), "before");
    EXPECT_EQ(dlg.GetDlgItemText(kNumber), "7");
    EXPECT_EQ(dlg.GetDlgItem<fw::CButton>(kCheck).GetCheck(), BST_CHECKED);
    EXPECT_EQ(dlg.GetDlgItemText(0), "テスト");
    EXPECT_EQ(dlg.GetDlgItemText(kCheck), "チェック");
}

TEST_F(Conformance, TextSetByTheProgramRaisesOneChangeInASingleLineEdit) {
    dlg.SetDlgItemText(kName, "日本語 text");
    EXPECT_EQ(Take(), (Log{"EN_CHANGE 1001"}));
    EXPECT_EQ(dlg.GetDlgItemText(kName), "日本語 text");
    dlg.SetDlgItemText(kName, "");
    EXPECT_EQ(Take(), (Log{"EN_CHANGE 1001"}));
    dlg.SetDlgItemText(kResult, "a\r\nb");  // a multi-line edit tells nothing
    EXPECT_EQ(Take(), Log{});
    EXPECT_EQ(dlg.GetDlgItemText(kResult), "a\r\nb");
}

TEST_F(Conformance, LongTextIsNeverCut) {
    std::string text(40000, 'x');
    dlg.SetDlgItemText(kName, text);
    EXPECT_EQ(dlg.GetDlgItemText(kName), text);
}

TEST_F(Conformance, SetDlgItemIntWritesSignedOrUnsigned) {
    dlg.SetDlgItemInt(kNumber, static_cast<unsigned>(-5));
    EXPECT_EQ(dlg.GetDlgItemText(kNumber), "-5");
    dlg.SetDlgItemInt(kNumber, static_cast<unsigned>(-5), false);
    EXPECT_EQ(dlg.GetDlgItemText(kNumber), "4294967291");
    EXPECT_EQ(Take(), (Log{"EN_CHANGE 1002", "EN_CHANGE 1002"}));
}

TEST_F(Conformance, TypingChangesOncePerCharacterAfterOneClear) {
    dlg.SetDlgItemText(kNumber, "");
    Take();
    user->Type(kNumber, "ab");  // an empty field needs no clearing
    EXPECT_EQ(Take(), (Log{"EN_KILLFOCUS 1001", "EN_CHANGE 1002", "EN_CHANGE 1002"}));
    user->Type(kNumber, "日本");
    EXPECT_EQ(Take(), (Log{"EN_CHANGE 1002", "EN_CHANGE 1002", "EN_CHANGE 1002"}));
    EXPECT_EQ(dlg.GetDlgItemText(kNumber), "日本");
    EXPECT_EQ(user->Focused(), kNumber);
}

TEST_F(Conformance, TypingIntoTheReadOnlyEditChangesNothing) {
    user->Type(kResult, "x");
    EXPECT_EQ(Take(), (Log{"EN_KILLFOCUS 1001"}));
    EXPECT_EQ(dlg.GetDlgItemText(kResult), "");
}

TEST_F(Conformance, FocusLeavingAnEditIsReported) {
    user->Focus(kNumber);
    EXPECT_EQ(Take(), (Log{"EN_KILLFOCUS 1001"}));
    user->Focus(kList);
    EXPECT_EQ(Take(), (Log{"EN_KILLFOCUS 1002"}));
    user->Focus(kName);
    EXPECT_EQ(Take(), Log{});
    user->Click(kCheck);
    EXPECT_EQ(Take(), (Log{"EN_KILLFOCUS 1001", "BN_CLICKED 1004"}));
    EXPECT_EQ(user->Focused(), kCheck);
}

TEST_F(Conformance, AMessageBoxTakesTheFocusBeforeItShows) {
    user->AnswerNextMessageBox(IDCANCEL);
    EXPECT_EQ(dlg.MessageBox("続けますか", "確認", MB_OKCANCEL), static_cast<int>(IDCANCEL));
    EXPECT_EQ(Take(), (Log{"EN_KILLFOCUS 1001", "BOX 続けますか"}));
    EXPECT_EQ(user->Focused(), kName);  // back where it was
}

TEST_F(Conformance, AutomaticCheckBoxToggles) {
    user->Click(kCheck);
    EXPECT_EQ(dlg.GetDlgItem<fw::CButton>(kCheck).GetCheck(), BST_UNCHECKED);
    user->Click(kCheck);
    EXPECT_EQ(dlg.GetDlgItem<fw::CButton>(kCheck).GetCheck(), BST_CHECKED);
    EXPECT_EQ(Take(), (Log{"EN_KILLFOCUS 1001", "BN_CLICKED 1004", "BN_CLICKED 1004"}));
    dlg.GetDlgItem<fw::CButton>(kCheck).SetCheck(BST_UNCHECKED);
    EXPECT_EQ(dlg.GetDlgItem<fw::CButton>(kCheck).GetCheck(), BST_UNCHECKED);
    EXPECT_EQ(Take(), Log{});
}

TEST_F(Conformance, EnterInASingleLineEditPressesTheDefaultButton) {
    user->Type(kName, "x");
    Take();
    user->PressEnter();
    EXPECT_EQ(Take(), Log{"OnOK"});
    EXPECT_EQ(user->Focused(), kName);
}

TEST_F(Conformance, EnterInTheMultiLineEditThatWantsReturnDoesNothing) {
    user->Focus(kResult);
    Take();
    user->PressEnter();
    EXPECT_EQ(Take(), Log{});
    EXPECT_EQ(dlg.GetDlgItemText(kResult), "");
}

TEST_F(Conformance, EscCancels) {
    user->PressEsc();
    EXPECT_EQ(Take(), Log{"OnCancel"});
    user->Focus(kResult);
    Take();
    user->PressEsc();
    EXPECT_EQ(Take(), Log{"OnCancel"});
}

TEST_F(Conformance, ClickingOKReachesOnOK) {
    user->Click(IDOK);
    EXPECT_EQ(Take(), (Log{"EN_KILLFOCUS 1001", "OnOK"}));
}

// A click notifies even when it lands on the entry already selected.
TEST_F(Conformance, ClickOnTheSelectedEntryNotifiesAgain) {
    auto list = dlg.GetDlgItem<fw::CListBox>(kList);
    for (const char* s : {"one", "two", "three"}) list.AddString(s);
    user->Select(kList, 1);
    Take();
    user->Select(kList, 1);
    EXPECT_EQ(list.GetCurSel(), 1);
    EXPECT_EQ(Take(), (Log{"LBN_SELCHANGE 1005"}));
}

TEST_F(Conformance, ListNotifiesUserSelectionOnly) {
    auto list = dlg.GetDlgItem<fw::CListBox>(kList);
    for (const char* s : {"cherry", "Apple", "banana", "date", "elder", "fig", "grape"})
        list.AddString(s);
    EXPECT_EQ(list.GetCount(), 7);
    EXPECT_EQ(list.GetText(0), "Apple");
    EXPECT_EQ(list.GetText(1), "banana");
    EXPECT_EQ(list.GetText(7), "");
    EXPECT_EQ(list.SetCurSel(2), 2);
    EXPECT_EQ(list.SelectString(-1, "BAN"), 1);
    EXPECT_EQ(list.SelectString(-1, "x"), LB_ERR);
    EXPECT_EQ(list.GetCurSel(), 1);
    EXPECT_EQ(Take(), Log{});

    user->Select(kList, 6);
    EXPECT_EQ(list.GetCurSel(), 6);
    EXPECT_EQ(Take(), (Log{"EN_KILLFOCUS 1001", "LBN_SELCHANGE 1005"}));
    user->DoubleClick(kList, 3);
    EXPECT_EQ(list.GetCurSel(), 3);
    EXPECT_EQ(Take(), (Log{"LBN_SELCHANGE 1005", "LBN_DBLCLK 1005"}));

    EXPECT_EQ(list.InsertString(0, "zzz"), 0);  // inserted where asked, sorted or not
    EXPECT_EQ(list.GetCurSel(), 4);
    list.ResetContent();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCurSel(), LB_ERR);
    EXPECT_EQ(Take(), Log{});
}

TEST_F(Conformance, ScrollArrowsReachOnVScrollThenEnd) {
    user->Arrow(kArrows, SB_LINEUP);
    user->Arrow(kArrows, SB_LINEDOWN);
    EXPECT_EQ(Take(), (Log{"WM_VSCROLL 1007 0", "WM_VSCROLL 1007 8", "WM_VSCROLL 1007 1",
                           "WM_VSCROLL 1007 8"}));
}

// Wine's edit stops scrolling once the last line reaches the bottom of the view (measured
// on the main window's result edit: 34 lines, 15 visible, first visible line 19 after
// scrolling by 33), where Windows and the headless edit let the last line become the first
// visible one. Only what both share is asserted.
TEST_F(Conformance, LineScrollMovesTheViewWithinItsText) {
    std::string text;
    for (int i = 0; i < 34; ++i)
        text += "line " + std::to_string(i) + (i < 33 ? "\r\n" : "");
    dlg.SetDlgItemText(kResult, text);
    auto edit = dlg.GetDlgItem<fw::CEdit>(kResult);
    ASSERT_EQ(edit.GetLineCount(), 34);
    EXPECT_EQ(edit.GetFirstVisibleLine(), 0);
    edit.LineScroll(5);
    EXPECT_EQ(edit.GetFirstVisibleLine(), 5);
    edit.LineScroll(-2);
    EXPECT_EQ(edit.GetFirstVisibleLine(), 3);
    edit.LineScroll(-10);
    EXPECT_EQ(edit.GetFirstVisibleLine(), 0);
    edit.LineScroll(33);
    int first = edit.GetFirstVisibleLine();
    EXPECT_LE(first, 33);
    EXPECT_GT(first, 33 - kResultHeight / 8);  // a line is at least 8 dialog units high
    edit.LineScroll(100);
    EXPECT_EQ(edit.GetFirstVisibleLine(), first);
    dlg.SetDlgItemText(kResult, "one");
    EXPECT_EQ(edit.GetLineCount(), 1);
    EXPECT_EQ(edit.GetFirstVisibleLine(), 0);
}

TEST_F(Conformance, ProgressReturnsThePreviousPositionAndShowsFullAbove100) {
    auto bar = dlg.GetDlgItem<fw::CProgressCtrl>(kBar);
    EXPECT_EQ(bar.GetPos(), 0u);
    EXPECT_EQ(bar.SetPos(30), 0u);
    EXPECT_EQ(bar.SetPos(100), 30u);
    EXPECT_EQ(bar.SetPos(150), 100u);
    EXPECT_EQ(bar.GetPos(), 100u);
    EXPECT_EQ(bar.SetPos(0), 100u);
    EXPECT_EQ(bar.GetPos(), 0u);
}

TEST_F(Conformance, EnabledStateFollowsTheProgram) {
    auto edit = dlg.GetDlgItem(kNumber);
    EXPECT_TRUE(edit.IsWindowEnabled());
    edit.EnableWindow(false);
    EXPECT_FALSE(edit.IsWindowEnabled());
    edit.EnableWindow(true);
    EXPECT_TRUE(edit.IsWindowEnabled());
}

TEST_F(Conformance, DataExchangeStopsAtAFieldThatIsNoNumber) {
    dlg.SetDlgItemText(kName, "新しい名前");
    dlg.SetDlgItemText(kNumber, "x");
    dlg.GetDlgItem<fw::CButton>(kCheck).SetCheck(BST_UNCHECKED);
    Take();
    user->AnswerNextMessageBox(IDOK);
    EXPECT_FALSE(dlg.UpdateData(true));
    // The focus comes back from the box to the name, then moves to the failed field.
    EXPECT_EQ(Take(),
              (Log{"EN_KILLFOCUS 1001", "BOX 正の整数を入力してください。", "EN_KILLFOCUS 1001"}));
    EXPECT_EQ(user->Focused(), kNumber);
    EXPECT_EQ(dlg.name, "新しい名前");
    EXPECT_EQ(dlg.number, 7u);
    EXPECT_EQ(dlg.check, 1);
}

TEST_F(Conformance, DataExchangeBothWays) {
    dlg.number = 4096;
    dlg.check = 0;
    dlg.UpdateData(false);
    EXPECT_EQ(dlg.GetDlgItem<fw::CButton>(kCheck).GetCheck(), BST_UNCHECKED);
    EXPECT_EQ(dlg.GetDlgItemText(kName), "before");
    EXPECT_EQ(dlg.GetDlgItemText(kNumber), "4096");
    dlg.SetDlgItemText(kNumber, " 12 ");
    user->Click(kCheck);
    EXPECT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.number, 12u);
    EXPECT_EQ(dlg.check, 1);
}

struct IntCase {
    const char* text;
    bool isSigned;
    bool ok;
    unsigned value;
};

TEST_F(Conformance, GetDlgItemIntReadsOnlyWholeNumbersIn32Bits) {
    const IntCase cases[] = {
        {"  12 ", true, true, 12},
        {"\t12\t", false, true, 12},
        {"+5", true, true, 5},
        {"-5", true, true, 0xFFFFFFFBu},
        {"-5", false, false, 0},
        {"+5", false, false, 0},
        {"", true, false, 0},
        {"   ", true, false, 0},
        {"-", true, false, 0},
        {"abc", true, false, 0},
        {"12a", true, false, 0},
        {"1 2", true, false, 0},
        {"0", false, true, 0},
        {"4294967295", false, true, 4294967295u},
        {"4294967296", false, false, 0},
        {"99999999999999999999", false, false, 0},
        {"2147483647", true, true, 2147483647u},
        {"2147483648", true, false, 0},
        {"-2147483648", true, true, 0x80000000u},
        {"-2147483649", true, false, 0},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\" " + (c.isSigned ? "signed" : "unsigned"));
        unsigned parsed = 12345;
        EXPECT_EQ(fw::ParseDlgInt(c.text, c.isSigned, parsed), c.ok);
        if (c.ok) {
            EXPECT_EQ(parsed, c.value);
        }
        dlg.SetDlgItemText(kNumber, c.text);
        bool translated = !c.ok;
        EXPECT_EQ(dlg.GetDlgItemInt(kNumber, &translated, c.isSigned), c.value);
        EXPECT_EQ(translated, c.ok);
    }
}

TEST(ConformanceTime, FormatCopiesEverythingButTheFields) {
    fw::CTimeSpan span(25 * 3600 + 60 + 2);
    EXPECT_EQ(span.Format("%H時%M分%S秒"), "01時01分02秒");
    EXPECT_EQ(span.Format("100% %X %"), "100% %X %");
    EXPECT_EQ(fw::CTimeSpan(0).Format("%H:%M:%S"), "00:00:00");
    fw::CTime t = fw::CTime::GetCurrentTime();
    std::string s = t.Format("%H時%M分%S秒");
    ASSERT_EQ(s.size(), std::string("00時00分00秒").size());
    EXPECT_EQ(s.substr(2, 3), "時");
    EXPECT_EQ(s.substr(7, 3), "分");
    EXPECT_EQ(s.substr(12, 3), "秒");
    EXPECT_EQ((t - fw::CTime(t.GetTime() - 61)).Format("%M %S"), "01 01");
}

}  // namespace
