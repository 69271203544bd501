// The conformance user over real windows: the messages Windows would send, pumped through the
// dialog manager. A timer answers the box the window owns once it is active.
#include <gtest/gtest.h>

#include <utility>

#include "framework/win32/win32.h"
#include "platform/wide_win32.h"
#include "tests/conformance/driver.h"

#include <windows.h>

namespace conformance {

namespace {

int g_answer = 0;  // the button for the next box, which goes to g_log
std::vector<std::string>* g_log = nullptr;

class Win32User : public User {
public:
    explicit Win32User(fw::CDialog& dlg) : m_dlg(HWND(fw::win32::WindowHandle(dlg))) {
        s_user = this;
        m_timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) { s_user->Tick(); });
    }
    ~Win32User() override {
        KillTimer(nullptr, m_timer);
        EXPECT_EQ(std::exchange(g_answer, 0), 0) << "a box that was to come never came";
    }
    void Type(int id, const std::string& text) override {
        Focus(id);
        Send(Item(id), EM_SETSEL, 0, -1);
        Send(Item(id), WM_CHAR, VK_BACK, 1);  // an empty field tells no change
        for (wchar_t unit : platform::ToWide(text))
            Send(Item(id), WM_CHAR, unit, 1);
    }
    void Focus(int id) override { Send(m_dlg, WM_NEXTDLGCTL, WPARAM(Item(id)), TRUE); }
    void Click(int id) override { Send(Item(id), BM_CLICK); }
    void PressEnter() override { Key(VK_RETURN); }
    void PressEsc() override { Key(VK_ESCAPE); }
    void Select(int listId, int index) override { Mouse(listId, index, WM_LBUTTONDOWN); }
    void DoubleClick(int listId, int index) override {
        Select(listId, index);
        Mouse(listId, index, WM_LBUTTONDBLCLK);
    }
    void ScrollArrow(int scrollBarId, unsigned code) override {
        for (unsigned c : {code, unsigned(SB_ENDSCROLL)})
            Send(m_dlg, WM_VSCROLL, c, LPARAM(Item(scrollBarId)));
    }
    int Focused() override { return GetDlgCtrlID(GetFocus()); }  // 0 for none
    bool Ended() override { return !IsWindowVisible(m_dlg); }
    bool Enabled(int id) override { return IsWindowEnabled(Item(id)); }
    int FirstVisibleLine(int id) override { return int(Send(Item(id), EM_GETFIRSTVISIBLELINE)); }
    std::vector<std::string> Items(int listId) override {
        std::vector<std::string> items;
        wchar_t text[MAX_PATH];
        for (WPARAM i = 0; Send(Item(listId), LB_GETTEXT, i, LPARAM(text)) != LB_ERR; ++i)
            items.push_back(platform::FromWide(text));
        return items;
    }

private:
    HWND Item(int id) const { return GetDlgItem(m_dlg, id); }
    LRESULT Send(HWND to, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
        LRESULT result = SendMessageW(to, msg, wp, lp);
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);)
            if (!IsDialogMessageW(m_dlg, &m))  // it dispatches what it takes
                DispatchMessageW(&m);
        return result;
    }
    // The key reaches the focused control through the dialog manager, as typed keys do.
    void Key(WPARAM vk) {
        PostMessageW(GetFocus(), WM_KEYDOWN, vk, 1);
        PostMessageW(GetFocus(), WM_KEYUP, vk, 0xC0000001);
        Send(m_dlg, WM_NULL);
    }
    // A press and a release in the middle of the entry, brought into view first.
    void Mouse(int listId, int index, UINT press) {
        RECT r{};
        SendMessageW(Item(listId), LB_SETTOPINDEX, WPARAM(index), 0);
        SendMessageW(Item(listId), LB_GETITEMRECT, WPARAM(index), LPARAM(&r));
        LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(Item(listId), press, MK_LBUTTON, at);
        Send(Item(listId), WM_LBUTTONUP, 0, at);
    }
    // A box shows its text in the static 0xFFFF; EndDialog hides it, so no tick sees it twice.
    void Tick() {
        HWND box = GetActiveWindow();
        if (box == m_dlg || GetWindow(box, GW_OWNER) != m_dlg)
            return;
        wchar_t text[256] = L"";
        GetDlgItemTextW(box, 0xFFFF, text, 256);
        int button = std::exchange(g_answer, 0);
        EXPECT_NE(button, 0) << "unanswered box: " << platform::FromWide(text);
        if (button)
            g_log->push_back(std::string("BOX ") + platform::FromWide(text));
        button = button ? button : IDCANCEL;
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     LPARAM(GetDlgItem(box, button)));
    }

    static inline Win32User* s_user = nullptr;  // the timer's way back
    HWND m_dlg;
    UINT_PTR m_timer = 0;
};

}  // namespace

std::unique_ptr<User> MakeUser(fw::CDialog& dlg) {
    return std::make_unique<Win32User>(dlg);
}

void AnswerBox(int button, std::vector<std::string>& log) {
    g_answer = button, g_log = &log;
}

}  // namespace conformance
