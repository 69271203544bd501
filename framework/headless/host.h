// One open headless window: its controls in memory, behaving like the Win32 dialog manager
// wherever the program relies on it. Internal to the backend.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "framework/window.h"

namespace fw::headless {

struct Control {
    explicit Control(const ControlTemplate* t)
        : tpl(t), text(t->text), enabled(!(t->style & WS_DISABLED)) {}

    const ControlTemplate* tpl;
    std::string text;
    bool enabled;
    int check = 0;
    std::vector<unsigned> sent;
    std::vector<std::string> items;
    int curSel = -1;
    int firstLine = 0;

    bool Is(ControlClass c) const { return tpl->cls == c; }
    bool IsEdit() const { return Is(ControlClass::Edit); }
    bool Multiline() const { return IsEdit() && (tpl->style & ES_MULTILINE); }
    bool ReadOnly() const { return IsEdit() && (tpl->style & ES_READONLY); }
    bool AutoCheck() const {
        return Is(ControlClass::Button) && (tpl->style & 0xF) == BS_AUTOCHECKBOX;
    }
    int Lines() const;
};

class HeadlessHost : public Host {
public:
    explicit HeadlessHost(CDialog& dlg);

    // Attaches the window and runs OnInitDialog; the focus then goes to the first tab stop.
    void Init();
    CDialog& Dialog() { return m_dlg; }
    Control& Find(int id);
    void Notify(int id, unsigned code);
    void MoveFocus(int id);
    // Text changed as by the user: an edit tells its change.
    void UserSetText(int id, const std::string& text);
    int DefaultButton();
    // The message loop: runs while the window has a timer or a posted message, then
    // returns. A loop within the loop (a user acting from a paint hook) returns at once.
    void Pump();

    // The focus leaves for another window (a box or a nested dialog) and comes back after.
    template <class F>
    auto Away(F&& f) {
        int saved = m_focus;
        MoveFocus(0);
        auto result = f();
        m_focus = saved;
        return result;
    }

    // Host
    void SetText(int id, const std::string& text) override;
    std::string GetText(int id) override;
    void Enable(int id, bool enable) override;
    void SetFocus(int id) override;
    int GetCheck(int id) override;
    void SetCheck(int id, int check) override;
    void LineScroll(int id, int lines) override;
    void SetProgress(int id, unsigned pos) override;
    void ListReset(int id) override;
    int ListAdd(int id, const std::string& text) override;
    int ListInsert(int id, int index, const std::string& text) override;
    int ListSelectString(int id, int start, const std::string& prefix) override;
    int ListSetCurSel(int id, int index) override;
    int ListGetCurSel(int id) override;
    bool DirList(std::string& pathSpec, int listId, unsigned type) override;
    bool DirSelect(int listId, std::string& selection) override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
    void EndDialog(int result) override;
    intptr_t SendMessage(unsigned, uintptr_t, intptr_t) override { return 0; }
    bool IsIconic() override { return false; }
    CRect GetClientRect() override;
    void* BeginPaint() override { return this; }
    void EndPaint() override {}
    void DrawIcon(void*, int, int, Icon) override {}
    void Default() override {}
    void SetTimer(int id, unsigned ms) override;
    void KillTimer(int id) override;
    void PostMessage(int id) override;

    std::vector<Control> m_controls;
    std::string m_caption;
    int m_focus = 0;
    bool m_ended = false;
    int m_result = 0;

private:
    struct Timer {
        int id;
        std::chrono::milliseconds every;
        std::chrono::steady_clock::time_point due;
    };
    void FireDueTimer();

    CDialog& m_dlg;
    std::vector<Timer> m_timers;
    bool m_pumping = false;
    std::mutex m_queueLock;  // the posted messages come from other threads
    std::condition_variable m_queued;
    std::deque<int> m_queue;
};

}  // namespace fw::headless
