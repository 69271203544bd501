// Windows and controls in memory, behaving like the Win32 dialog manager wherever the
// system relies on it: focus and its loss, the default button, Enter and Esc, change
// notifications for every text change, automatic check boxes, list notifications on user
// action only.
#include "framework/headless/headless.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <utility>

#include "framework/backend.h"
#include "framework/filedialog.h"
#include "framework/headless/dirlist.h"

namespace fw::headless {

namespace {

struct Script {
    platform::FileSystem* fs = nullptr;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<FileDialogCall> fileDialogsSeen;
    std::function<int(const MessageBoxCall&)> boxHandler;
    std::deque<int> boxAnswers;
    std::vector<MessageBoxCall> boxesSeen;
    std::deque<std::function<void(User&)>> dialogs;
    std::function<void(const std::string&)> failure;
    std::function<void()> paintHook;
};

Script& script() {
    static Script s;
    return s;
}

void Fail(const std::string& message) {
    if (script().failure) {
        script().failure(message);
        return;
    }
    std::fprintf(stderr, "headless: %s\n", message.c_str());
    std::abort();
}

constexpr size_t kMaxPositionsKept = 100000;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A sorted list box's order, as the system's: without regard to case, punctuation before
// digits before letters, other characters after.
int SortKey(char c) {
    unsigned char u = static_cast<unsigned char>(Lower(c));
    int rank = u >= 0x80 ? 3 : (u >= 'a' && u <= 'z') ? 2 : (u >= '0' && u <= '9') ? 1 : 0;
    return rank << 8 | u;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return SortKey(x) < SortKey(y); });
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    return true;
}

// The length of the UTF-8 sequence that starts with byte c (1 for stray bytes).
size_t CharLength(unsigned char c) {
    if (c >= 0xF0 && c < 0xF8) return 4;
    if (c >= 0xE0) return c < 0xF0 ? 3 : 1;
    if (c >= 0xC0) return 2;
    return 1;
}

struct Control {
    explicit Control(const ControlTemplate* t = nullptr)
        : tpl(t), text(t ? t->text : ""), enabled(t && !(t->style & WS_DISABLED)) {}

    const ControlTemplate* tpl;
    std::string text;
    bool enabled;
    int check = 0;
    unsigned pos = 0;
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
    int Lines() const {
        if (!Multiline()) return 1;
        int n = 1;
        for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2))
            ++n;
        return n;
    }
};

}  // namespace

class HeadlessHost : public Host {
public:
    explicit HeadlessHost(CDialog& dlg) : m_dlg(dlg) {
        const DialogTemplate& t = dlg.Template();
        m_caption = t.caption;
        for (const ControlTemplate& c : t.controls)
            m_controls.emplace_back(&c);
    }

    void Init() {
        m_dlg.Attach(this);
        if (m_dlg.OnInitDialog() && !m_ended && m_focus == 0) {
            for (const Control& c : m_controls) {
                if ((c.tpl->style & WS_TABSTOP) && c.enabled) {
                    MoveFocus(c.tpl->id);
                    break;
                }
            }
        }
    }

    CDialog& Dialog() { return m_dlg; }

    Control& Find(int id) {
        for (Control& c : m_controls)
            if (c.tpl->id == id) return c;
        Fail("no control " + std::to_string(id) + " in \"" + m_caption + "\"");
        static ControlTemplate missing{ControlClass::Static, 0, "", 0, 0, 0, 0, 0};
        static Control none(&missing);
        return none;
    }

    void Notify(int id, unsigned code) {
        EventReply reply;
        m_dlg.OnWndEvent({Msg::Command, id, code}, reply);
    }

    void MoveFocus(int id) {
        if (m_focus == id) return;
        int old = m_focus;
        m_focus = id;
        if (old != 0 && Find(old).IsEdit()) Notify(old, EN_KILLFOCUS);
    }

    // The focus leaves for another window (a box or a nested dialog) and comes back after.
    template <class F>
    auto Away(F&& f) {
        int saved = m_focus;
        MoveFocus(0);
        auto result = f();
        m_focus = saved;
        return result;
    }

    void UserSetText(int id, const std::string& text) {
        Control& c = Find(id);
        c.text = text;
        c.firstLine = 0;
        if (c.IsEdit()) Notify(id, EN_CHANGE);
    }

    int DefaultButton() {
        for (const Control& c : m_controls)
            if (c.Is(ControlClass::Button) && (c.tpl->style & 0xF) == BS_DEFPUSHBUTTON)
                return c.tpl->id;
        return IDOK;
    }

    // Host
    void SetText(int id, const std::string& text) override {
        if (id == 0) {
            m_caption = text;
        } else if (Find(id).Multiline()) {
            // As on Windows: text set on a multi-line edit raises no EN_CHANGE.
            Control& c = Find(id);
            c.text = text;
            c.firstLine = 0;
        } else {
            UserSetText(id, text);
        }
    }
    std::string GetText(int id) override { return id == 0 ? m_caption : Find(id).text; }
    void Enable(int id, bool enable) override {
        Find(id).enabled = enable;
        if (!enable && m_focus == id) MoveFocus(0);
    }
    bool IsEnabled(int id) override { return Find(id).enabled; }
    void SetFocus(int id) override { MoveFocus(id); }
    int GetCheck(int id) override { return Find(id).check; }
    void SetCheck(int id, int check) override { Find(id).check = check; }
    int LineCount(int id) override { return Find(id).Lines(); }
    int FirstVisibleLine(int id) override { return Find(id).firstLine; }
    // The view may scroll until the last line is the first visible line.
    void LineScroll(int id, int lines) override {
        Control& c = Find(id);
        c.firstLine = std::clamp(c.firstLine + lines, 0, c.Lines() - 1);
    }
    unsigned SetProgress(int id, unsigned pos) override {
        Control& c = Find(id);
        unsigned old = c.pos;
        // Kept for the tests to read; bounded, as a long run sets a bar once per block.
        if (c.sent.size() < kMaxPositionsKept) c.sent.push_back(pos);
        c.pos = std::min(pos, 100u);
        return old;
    }
    unsigned GetProgress(int id) override { return Find(id).pos; }
    void ListReset(int id) override {
        Control& c = Find(id);
        c.items.clear();
        c.curSel = -1;
    }
    int ListAdd(int id, const std::string& text) override {
        Control& c = Find(id);
        auto at = c.items.end();
        if (c.tpl->style & LBS_SORT)
            at = std::upper_bound(c.items.begin(), c.items.end(), text, LessNoCase);
        return static_cast<int>(c.items.insert(at, text) - c.items.begin());
    }
    int ListInsert(int id, int index, const std::string& text) override {
        Control& c = Find(id);
        if (index < 0 || index > static_cast<int>(c.items.size()))
            index = static_cast<int>(c.items.size());
        c.items.insert(c.items.begin() + index, text);
        if (c.curSel >= index) ++c.curSel;
        return index;
    }
    int ListSelectString(int id, int start, const std::string& prefix) override {
        Control& c = Find(id);
        int n = static_cast<int>(c.items.size());
        for (int k = 1; k <= n; ++k) {
            int i = ((start < 0 ? -1 : start) + k) % n;
            if (StartsWithNoCase(c.items[i], prefix)) return c.curSel = i;
        }
        return LB_ERR;
    }
    int ListSetCurSel(int id, int index) override {
        Control& c = Find(id);
        if (index < 0 || index >= static_cast<int>(c.items.size())) {
            c.curSel = -1;
            return LB_ERR;
        }
        return c.curSel = index;
    }
    int ListGetCurSel(int id) override { return Find(id).curSel; }
    int ListCount(int id) override { return static_cast<int>(Find(id).items.size()); }
    std::string ListGetText(int id, int index) override {
        Control& c = Find(id);
        if (index < 0 || index >= static_cast<int>(c.items.size())) return {};
        return c.items[index];
    }
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
        return Away([&] {
            MessageBoxCall call{text, caption, type};
            script().boxesSeen.push_back(call);
            if (script().boxHandler) return script().boxHandler(call);
            if (script().boxAnswers.empty()) {
                Fail("unanswered message box \"" + caption + "\": " + text);
                return static_cast<int>(IDCANCEL);
            }
            int answer = script().boxAnswers.front();
            script().boxAnswers.pop_front();
            return answer;
        });
    }
    void EndDialog(int result) override {
        m_ended = true;
        m_result = result;
    }
    intptr_t SendMessage(unsigned, uintptr_t, intptr_t) override { return 0; }
    bool IsIconic() override { return false; }
    CRect GetClientRect() override {
        return {0, 0, m_dlg.Template().cx * 2, m_dlg.Template().cy * 2};
    }
    void* BeginPaint() override { return this; }
    void EndPaint() override {}
    void DrawIcon(void*, int, int, Icon) override {}
    void Default() override {}
    bool DirList(std::string& pathSpec, int listId, unsigned type) override {
        ListReset(listId);
        std::vector<std::string> entries;
        bool ok = DirListEntries(script().fs ? *script().fs : platform::RealFileSystem(),
                                 pathSpec, type, entries);
        for (const std::string& e : entries) ListAdd(listId, e);
        return ok;
    }
    bool DirSelect(int listId, std::string& selection) override {
        Control& c = Find(listId);
        if (c.curSel < 0 || c.curSel >= static_cast<int>(c.items.size())) return false;
        selection = DirSelection(c.items[c.curSel]);
        return true;
    }
    void LetPaintThrough() override {
        if (script().paintHook) script().paintHook();
    }

    std::vector<Control> m_controls;
    std::string m_caption;
    int m_focus = 0;
    bool m_ended = false;
    int m_result = 0;

private:
    CDialog& m_dlg;
};

namespace {

// Open windows, newest last: a new modal dialog is owned by the newest.
std::vector<HeadlessHost*>& Open() {
    static std::vector<HeadlessHost*> open;
    return open;
}

HeadlessHost* MakeHost(CDialog& dlg) {
    auto* host = new HeadlessHost(dlg);
    Open().push_back(host);
    host->Init();
    return host;
}

void DropHost(CDialog& dlg) {
    auto* host = static_cast<HeadlessHost*>(dlg.GetHost());
    std::erase(Open(), host);
    dlg.Attach(nullptr);
    delete host;
}

}  // namespace

void SetMessageBoxHandler(std::function<int(const MessageBoxCall&)> handler) {
    script().boxHandler = std::move(handler);
}
void AnswerMessageBox(int button) { script().boxAnswers.push_back(button); }
std::vector<MessageBoxCall> TakeMessageBoxes() { return std::exchange(script().boxesSeen, {}); }
void AnswerNextDialog(std::function<void(User&)> act) { script().dialogs.push_back(std::move(act)); }
void SetFailureHandler(std::function<void(const std::string&)> handler) {
    script().failure = std::move(handler);
}
void SetPaintHook(std::function<void()> hook) { script().paintHook = std::move(hook); }
void UseFileSystem(platform::FileSystem* fs) { script().fs = fs; }
void AnswerFileDialog(std::optional<std::string> path) {
    script().fileAnswers.push_back(std::move(path));
}
std::vector<FileDialogCall> TakeFileDialogs() { return std::exchange(script().fileDialogsSeen, {}); }
void ResetScript() {
    auto failure = script().failure;
    script() = Script{};
    script().failure = failure;
}

User::User(CWnd& wnd) : m_host(static_cast<HeadlessHost*>(wnd.GetHost())) {
    if (!m_host) Fail("the scripted user was given a window that is not open");
}

void User::Type(int id, const std::string& text) {
    m_host->MoveFocus(id);
    Control& c = m_host->Find(id);
    if (c.ReadOnly() || !c.enabled) return;
    if (!c.text.empty()) m_host->UserSetText(id, "");
    for (size_t i = 0; i < text.size();) {
        size_t n = std::min(CharLength(static_cast<unsigned char>(text[i])), text.size() - i);
        m_host->UserSetText(id, m_host->Find(id).text + text.substr(i, n));
        i += n;
    }
}

void User::Focus(int id) {
    if (m_host->Find(id).enabled) m_host->MoveFocus(id);
}

void User::Click(int id) {
    Control& c = m_host->Find(id);
    if (!c.enabled) return;
    m_host->MoveFocus(id);
    if (m_host->Find(id).AutoCheck()) {
        Control& box = m_host->Find(id);
        box.check = box.check ? 0 : 1;
    }
    m_host->Notify(id, BN_CLICKED);
}

void User::PressEnter() {
    if (m_host->m_focus != 0) {
        Control& c = m_host->Find(m_host->m_focus);
        if (c.Multiline() && (c.tpl->style & ES_WANTRETURN)) return;
        if (c.Is(ControlClass::Button) && !c.AutoCheck()) {
            m_host->Notify(c.tpl->id, BN_CLICKED);
            return;
        }
    }
    int def = m_host->DefaultButton();
    if (m_host->Find(def).enabled) m_host->Notify(def, BN_CLICKED);
}

void User::PressEsc() { m_host->Notify(IDCANCEL, BN_CLICKED); }

void User::PressTab() {
    auto& cs = m_host->m_controls;
    size_t n = cs.size(), start = 0;
    for (size_t i = 0; i < n; ++i)
        if (cs[i].tpl->id == m_host->m_focus) start = i + 1;
    for (size_t k = 0; k < n; ++k) {
        Control& c = cs[(start + k) % n];
        if ((c.tpl->style & WS_TABSTOP) && c.enabled) {
            m_host->MoveFocus(c.tpl->id);
            return;
        }
    }
}

void User::Select(int listId, int index) {
    Control& c = m_host->Find(listId);
    if (!c.enabled) return;
    m_host->MoveFocus(listId);
    // A click notifies even when the entry was already selected.
    m_host->ListSetCurSel(listId, index);
    m_host->Notify(listId, LBN_SELCHANGE);
}

void User::DoubleClick(int listId, int index) {
    Select(listId, index);
    if (m_host->Find(listId).enabled) m_host->Notify(listId, LBN_DBLCLK);
}

void User::ScrollArrow(int scrollBarId, unsigned code) {
    if (!m_host->Find(scrollBarId).enabled) return;
    EventReply reply;
    m_host->Dialog().OnWndEvent({Msg::VScroll, scrollBarId, code, 0}, reply);
    m_host->Dialog().OnWndEvent({Msg::VScroll, scrollBarId, SB_ENDSCROLL, 0}, reply);
}

std::string User::Text(int id) const { return m_host->GetText(id); }
bool User::Enabled(int id) const { return m_host->Find(id).enabled; }
int User::Check(int id) const { return m_host->Find(id).check; }
unsigned User::Pos(int id) const { return m_host->Find(id).pos; }
std::vector<unsigned> User::PositionsSent(int id) const { return m_host->Find(id).sent; }
int User::FirstVisibleLine(int id) const { return m_host->Find(id).firstLine; }
int User::LineCount(int id) const { return m_host->Find(id).Lines(); }
std::vector<std::string> User::Items(int listId) const { return m_host->Find(listId).items; }
int User::CurSel(int listId) const { return m_host->Find(listId).curSel; }
int User::Focused() const { return m_host->m_focus; }
bool User::Ended() const { return m_host->m_ended; }
int User::Result() const { return m_host->m_result; }

}  // namespace fw::headless

namespace fw::backend {

using headless::HeadlessHost;

int RunModal(CDialog& dlg) {
    HeadlessHost* owner = headless::Open().empty() ? nullptr : headless::Open().back();
    auto run = [&] {
        HeadlessHost* host = headless::MakeHost(dlg);
        if (!host->m_ended) {
            if (headless::script().dialogs.empty()) {
                headless::Fail("unanswered dialog \"" + host->m_caption + "\"");
            } else {
                auto act = std::move(headless::script().dialogs.front());
                headless::script().dialogs.pop_front();
                headless::User user(dlg);
                act(user);
                if (!host->m_ended) headless::Fail("dialog \"" + host->m_caption + "\" left open");
            }
        }
        int result = host->m_ended ? host->m_result : static_cast<int>(IDCANCEL);
        headless::DropHost(dlg);
        return result;
    };
    return owner ? owner->Away(run) : run();
}

int RunFileDialog(const CFileDialog& dlg, std::string& path) {
    auto& s = headless::script();
    s.fileDialogsSeen.push_back({dlg.m_bOpenFileDialog, dlg.m_strDefExt, dlg.m_strFileName,
                                 dlg.m_strFilter, dlg.m_nFlags});
    auto answer = [&] {
        if (s.fileAnswers.empty()) {
            headless::Fail("unanswered file dialog");
            return static_cast<int>(IDCANCEL);
        }
        std::optional<std::string> chosen = std::move(s.fileAnswers.front());
        s.fileAnswers.pop_front();
        if (!chosen) return static_cast<int>(IDCANCEL);
        path = *chosen;
        return static_cast<int>(IDOK);
    };
    return headless::Open().empty() ? answer() : headless::Open().back()->Away(answer);
}

bool Open(CDialog& dlg) {
    headless::MakeHost(dlg);
    return true;
}

void Close(CDialog& dlg) { headless::DropHost(dlg); }

}  // namespace fw::backend

namespace fw {

void CWinApp::Enable3dControls() {}

Icon LoadIcon(int resourceId) { return reinterpret_cast<Icon>(static_cast<intptr_t>(resourceId)); }

int GetSystemMetrics(int index) { return index == SM_CXICON || index == SM_CYICON ? 32 : 0; }

}  // namespace fw
