// The conformance driver over real windows: keys, clicks and characters sent as the
// messages Windows would send, pumped through the dialog manager. Message boxes are found
// and answered from a timer, so nothing waits for a person.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>

#include "framework/win32/win32.h"
#include "platform/wide_win32.h"
#include "tests/conformance/driver.h"

#include <windows.h>

namespace conformance {

namespace {

// A box left open this long fails the test and is closed.
constexpr auto kBoxTimeout = std::chrono::seconds(10);

class Win32Driver;
Win32Driver* g_driver = nullptr;  // the timer procedure's way back

class Win32Driver : public Driver {
public:
    Win32Driver(fw::CDialog& dlg, std::vector<std::string>& log)
        : m_dlg(static_cast<HWND>(fw::win32::WindowHandle(dlg))), m_log(log) {
        g_driver = this;
        m_timer = SetTimer(nullptr, 0, 20, OnTimer);
    }
    ~Win32Driver() override {
        KillTimer(nullptr, m_timer);
        g_driver = nullptr;
        EXPECT_TRUE(m_answers.empty()) << "a message box that was to come never came";
    }

    void Type(int id, const std::string& text) override {
        HWND edit = Item(id);
        ::SetFocus(edit);
        if (GetWindowTextLengthW(edit) > 0) {
            SendMessageW(edit, EM_SETSEL, 0, -1);
            SendMessageW(edit, WM_CHAR, VK_BACK, 1);
        }
        for (wchar_t unit : platform::ToWide(text))
            SendMessageW(edit, WM_CHAR, unit, 1);
        Pump();
    }
    void Focus(int id) override {
        ::SetFocus(Item(id));
        Pump();
    }
    void Click(int id) override {
        SendMessageW(Item(id), BM_CLICK, 0, 0);
        Pump();
    }
    void PressEnter() override { Key(VK_RETURN); }
    void PressEsc() override { Key(VK_ESCAPE); }
    void Select(int listId, int index) override {
        HWND list = Item(listId);
        // Brings the entry into view, so the click lands on it.
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        LPARAM at = EntryPoint(list, index);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(list, WM_LBUTTONUP, 0, at);
        Pump();
    }
    void DoubleClick(int listId, int index) override {
        Select(listId, index);
        HWND list = Item(listId);
        LPARAM at = EntryPoint(list, index);
        SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        SendMessageW(list, WM_LBUTTONUP, 0, at);
        Pump();
    }
    void Arrow(int scrollBarId, unsigned code) override {
        auto bar = reinterpret_cast<LPARAM>(Item(scrollBarId));
        SendMessageW(m_dlg, WM_VSCROLL, MAKEWPARAM(code, 0), bar);
        SendMessageW(m_dlg, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), bar);
        Pump();
    }
    void AnswerNextMessageBox(int button) override { m_answers.push_back(button); }
    // The file dialog is a dialog owned by the window too; it is not logged as a box.
    void CancelNextFileDialog() override { m_answers.push_back(kCancelFileDialog); }
    bool Ended() override { return !IsWindowVisible(m_dlg); }
    int Focused() override {
        HWND focus = GetFocus();
        return focus && IsChild(m_dlg, focus) ? GetDlgCtrlID(focus) : 0;
    }

private:
    HWND Item(int id) const { return GetDlgItem(m_dlg, id); }

    static LPARAM EntryPoint(HWND list, int index) {
        RECT r{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&r));
        return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    // The key reaches the focused control through the dialog manager, as typed keys do.
    void Key(WPARAM vk) {
        HWND focus = GetFocus();
        PostMessageW(focus, WM_KEYDOWN, vk, 1);
        PostMessageW(focus, WM_KEYUP, vk, 0xC0000001);
        Pump();
    }

    void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (IsDialogMessageW(m_dlg, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    static HWND FindBox(HWND owner) {
        struct Search {
            HWND owner, box;
        } search{owner, nullptr};
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND hwnd, LPARAM lp) -> BOOL {
                auto* s = reinterpret_cast<Search*>(lp);
                wchar_t cls[16] = {};
                GetClassNameW(hwnd, cls, 16);
                if (hwnd != s->owner && IsWindowVisible(hwnd) &&
                    GetWindow(hwnd, GW_OWNER) == s->owner && lstrcmpW(cls, L"#32770") == 0) {
                    s->box = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.box;
    }

    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (g_driver)
            g_driver->Tick();
    }

    void Tick() {
        HWND box = FindBox(m_dlg);
        if (!box)
            return;
        if (m_answers.empty()) {
            if (m_seen != box) {
                m_seen = box;
                m_since = std::chrono::steady_clock::now();
            }
            if (std::chrono::steady_clock::now() - m_since < kBoxTimeout)
                return;
            ADD_FAILURE() << "unanswered message box: " << BoxText(box);
            Press(box, GetDlgItem(box, IDCANCEL) ? IDCANCEL : IDOK);
            return;
        }
        int button = m_answers.front();
        m_answers.pop_front();
        if (button == kCancelFileDialog) {
            Press(box, IDCANCEL);
            return;
        }
        m_log.push_back("BOX " + BoxText(box));
        Press(box, button);
    }

    // EndDialog hides the box at once, so the next tick does not find it again.
    static void Press(HWND box, int button) {
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    }

    // A message box shows its text in the static control with id 0xFFFF.
    static std::string BoxText(HWND box) {
        HWND text = GetDlgItem(box, 0xFFFF);
        std::wstring s(static_cast<size_t>(GetWindowTextLengthW(text)) + 1, L'\0');
        s.resize(static_cast<size_t>(GetWindowTextW(text, s.data(), static_cast<int>(s.size()))));
        return platform::FromWide(s);
    }

    static constexpr int kCancelFileDialog = -1;

    HWND m_dlg;
    std::vector<std::string>& m_log;
    UINT_PTR m_timer = 0;
    std::deque<int> m_answers;
    HWND m_seen = nullptr;  // an unexpected box, and since when
    std::chrono::steady_clock::time_point m_since;
};

}  // namespace

std::unique_ptr<Driver> MakeDriver(fw::CDialog& dlg, std::vector<std::string>& log) {
    return std::make_unique<Win32Driver>(dlg, log);
}

}  // namespace conformance
