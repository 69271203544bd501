// What the program's handlers rely on from the dialog manager: the same actions must tell a
// dialog the same things over the headless backend and over real windows under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "framework/ddx.h"
#include "framework/time.h"
#include "tests/conformance/driver.h"

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

struct Action {
    const char* what;
    std::function<void(TestDialog&, conformance::User&)> act;
    Log told;
    int focus;  // afterwards
};

TEST(Conformance, WhatTheDialogIsTold) {
    using D = TestDialog;
    using U = conformance::User;
    // clang-format off
    const Action actions[] = {
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
    for (const Action& a : actions) {
        SCOPED_TRACE(a.what);
        TestDialog dlg;
        dlg.log.clear();
        a.act(dlg, *dlg.user);
        EXPECT_EQ(dlg.log, a.told);
        EXPECT_EQ(dlg.user->Focused(), a.focus);
    }
}

TEST(Conformance, DataExchangeStopsAtTheFirstFieldThatFails) {
    TestDialog dlg;
    EXPECT_EQ(dlg.GetDlgItemText(kNumber), "7");  // shown when the dialog opened
    dlg.SetDlgItemText(kNumber, " 12 ");
    EXPECT_TRUE(dlg.UpdateData(true));
    dlg.SetDlgItemText(kName, "別");
    dlg.SetDlgItemText(kNumber, "-5");
    dlg.user->Click(kCheck);
    dlg.user->Focus(kName);
    dlg.log.clear();
    dlg.user->AnswerBox(IDOK, dlg.log);
    EXPECT_FALSE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.log, (Log{kKill, "BOX 正の整数を入力してください。", kKill}));
    EXPECT_EQ(dlg.user->Focused(), kNumber);
    EXPECT_EQ(std::to_string(dlg.number) + dlg.name + std::to_string(dlg.check), "12別1");
}

TEST(Time, FormatFillsOnlyItsFields) {
    for (auto [seconds, text] :
         {std::pair{0, "00時00分00秒 %X"}, {25 * 3600 + 62, "01時01分02秒 %X"}})
        EXPECT_EQ(fw::CTimeSpan(seconds).Format("%H時%M分%S秒 %X"), text);
    fw::CTime t = fw::CTime::GetCurrentTime();
    EXPECT_EQ((t - fw::CTime(t.GetTime() - 61)).GetTotalSeconds(), 61);
}

}  // namespace
