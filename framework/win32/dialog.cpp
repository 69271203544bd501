// Dialogs as real windows: an in-memory dialog template built from fw::DialogTemplate, and
// a dialog procedure that turns messages into the framework's events.
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "framework/backend.h"
#include "framework/win32/win32.h"
#include "platform/wide_win32.h"

#include <windows.h>

#include <commctrl.h>  // needs <windows.h> first

// The framework's own names, not the A/W macros.
#undef MessageBox
#undef SendMessage
#undef PostMessage

namespace fw::win32 {

namespace {

// A DLGTEMPLATEEX with its DLGITEMTEMPLATEEX entries, as 16-bit words.
class TemplateWriter {
public:
    explicit TemplateWriter(const DialogTemplate& t) {
        Word(1);       // dlgVer
        Word(0xFFFF);  // signature: the extended form
        Dword(0);      // helpID
        Dword(t.exStyle);
        Dword(t.style | DS_SETFONT);
        Word(static_cast<WORD>(t.controls.size()));
        Coords(0, 0, t.cx, t.cy);
        Word(0);  // no menu
        Word(0);  // the standard dialog class
        Text(platform::ToWide(t.caption));
        Word(static_cast<WORD>(t.pointSize));
        Word(FW_NORMAL);
        // Italic, and the character set: a fallback for the Japanese face is Japanese too.
        Word(MAKEWORD(FALSE, SHIFTJIS_CHARSET));
        Text(platform::ToWide(t.font));
        for (const ControlTemplate& c : t.controls)
            Control(c);
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }
    const std::vector<WORD>& Words() const { return m_words; }

private:
    void Word(WORD w) { m_words.push_back(w); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void Coords(int x, int y, int cx, int cy) {
        for (int v : {x, y, cx, cy})
            Word(static_cast<WORD>(static_cast<short>(v)));
    }
    void Text(const std::wstring& s) {
        for (wchar_t ch : s)
            Word(ch);
        Word(0);
    }
    // Each item starts on a DWORD boundary; the buffer itself is suitably aligned.
    void Align() {
        if (m_words.size() % 2)
            Word(0);
    }
    void Control(const ControlTemplate& c) {
        Align();
        Dword(0);  // helpID
        Dword(c.exStyle);
        Dword(c.style | WS_CHILD | WS_VISIBLE);
        Coords(c.x, c.y, c.cx, c.cy);
        Dword(static_cast<DWORD>(c.id));
        switch (c.cls) {
            case ControlClass::Button:
                Atom(0x0080);
                break;
            case ControlClass::Edit:
                Atom(0x0081);
                break;
            case ControlClass::Static:
                Atom(0x0082);
                break;
            case ControlClass::ListBox:
                Atom(0x0083);
                break;
            case ControlClass::ScrollBar:
                Atom(0x0084);
                break;
            case ControlClass::Progress:
                Text(PROGRESS_CLASSW);
                break;
        }
        Text(platform::ToWide(c.text));
        Word(0);  // no creation data
    }
    void Atom(WORD atom) {
        Word(0xFFFF);
        Word(atom);
    }

    std::vector<WORD> m_words;
};

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

class DialogHost;

// Open windows, newest last: a modal dialog without a parent is owned by the newest.
std::vector<DialogHost*>& OpenHosts() {
    static std::vector<DialogHost*> open;
    return open;
}

class DialogHost : public Host {
public:
    DialogHost(CDialog& dlg, bool modal) : m_dlg(dlg), m_modal(modal) {}

    HWND Hwnd() const { return m_hwnd; }

    INT_PTR Handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        switch (msg) {
            case WM_INITDIALOG:
                return Init(hwnd);
            case WM_COMMAND:
                return Dispatch({Msg::Command, LOWORD(wp), HIWORD(wp)}).handled;
            case WM_VSCROLL:
                return Dispatch({Msg::VScroll, GetDlgCtrlID(reinterpret_cast<HWND>(lp)), LOWORD(wp),
                                 HIWORD(wp)})
                    .handled;
            case WM_PAINT:
                return Dispatch({Msg::Paint}).handled;
            case WM_TIMER:
                return Dispatch({Msg::Timer, static_cast<int>(wp)}).handled;
            case WM_APP:
                return Dispatch({Msg::Posted, static_cast<int>(wp)}).handled;
            case WM_CLOSE:
                return Dispatch({Msg::Close}).handled;
            // Both are answered by the default: the session may end.
            case WM_QUERYENDSESSION:
                Dispatch({Msg::QueryEndSession});
                return FALSE;
            case WM_ENDSESSION:
                if (wp)
                    Dispatch({Msg::EndSession});
                return FALSE;
            case WM_QUERYDRAGICON: {
                Outcome out = Dispatch({Msg::QueryDragIcon});
                return out.handled ? reinterpret_cast<INT_PTR>(out.reply.icon) : FALSE;
            }
            case WM_NCDESTROY:
                std::erase(OpenHosts(), this);
                m_dlg.Attach(nullptr);
                m_hwnd = nullptr;
                return FALSE;
        }
        return FALSE;
    }

    // Host
    void SetText(int id, const std::string& text) override {
        auto set = [&] { SetWindowTextW(Item(id), platform::ToWide(text).c_str()); };
        if (IsMultilineEdit(id))
            Unscrolled(id, set, false);
        else
            set();
    }
    std::string GetText(int id) override { return platform::FromWide(WindowText(Item(id))); }
    void Enable(int id, bool enable) override { EnableWindow(Item(id), enable); }
    void SetFocus(int id) override { ::SetFocus(Item(id)); }
    int GetCheck(int id) override { return static_cast<int>(Send(id, BM_GETCHECK)); }
    void SetCheck(int id, int check) override { Send(id, BM_SETCHECK, check); }
    void LineScroll(int id, int lines) override {
        Unscrolled(id, [&] { Send(id, EM_LINESCROLL, 0, lines); });
    }
    // A themed bar moves up to a new position in steps driven by timers, which a run does not
    // dispatch; a move down is drawn at once (no PBS_SMOOTHREVERSE). So the bar is set one
    // past the position, and back; at the top, within a range widened for the moment.
    void SetProgress(int id, unsigned pos) override {
        pos = std::min(pos, 100u);
        if (Send(id, PBM_GETPOS) == static_cast<LRESULT>(pos))
            return;
        if (pos == 100)
            Send(id, PBM_SETRANGE32, 0, 101);
        Send(id, PBM_SETPOS, pos + 1);
        Send(id, PBM_SETPOS, pos);
        if (pos == 100)
            Send(id, PBM_SETRANGE32, 0, 100);
    }
    void ListReset(int id) override { Send(id, LB_RESETCONTENT); }
    int ListAdd(int id, const std::string& text) override {
        return SendText(id, LB_ADDSTRING, 0, text);
    }
    int ListInsert(int id, int index, const std::string& text) override {
        return SendText(id, LB_INSERTSTRING, static_cast<WPARAM>(index), text);
    }
    int ListSelectString(int id, int start, const std::string& prefix) override {
        return SendText(id, LB_SELECTSTRING, static_cast<WPARAM>(start), prefix);
    }
    int ListSetCurSel(int id, int index) override {
        return static_cast<int>(Send(id, LB_SETCURSEL, static_cast<WPARAM>(index)));
    }
    int ListGetCurSel(int id) override { return static_cast<int>(Send(id, LB_GETCURSEL)); }
    // The system's own list filling. It may rewrite the path it is given, and it makes the
    // directory it lists the current one.
    bool DirList(std::string& pathSpec, int listId, unsigned type) override {
        std::wstring path = platform::ToWide(pathSpec);
        path.resize(std::max<size_t>(path.size(), MAX_PATH) + 1, L'\0');
        int ok = DlgDirListW(m_hwnd, path.data(), listId, 0, type);
        pathSpec = platform::FromWide(path.c_str(), wcslen(path.c_str()));
        return ok != 0;
    }
    bool DirSelect(int listId, std::string& selection) override {
        LRESULT sel = Send(listId, LB_GETCURSEL);
        if (sel == LB_ERR)
            return false;
        LRESULT len = Send(listId, LB_GETTEXTLEN, static_cast<WPARAM>(sel));
        if (len == LB_ERR)
            return false;
        std::wstring text(static_cast<size_t>(len) + 2, L'\0');
        DlgDirSelectExW(m_hwnd, text.data(), static_cast<int>(text.size()), listId);
        selection = platform::FromWide(text.c_str(), wcslen(text.c_str()));
        return true;
    }
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
        return MessageBoxW(m_hwnd, platform::ToWide(text).c_str(),
                           platform::ToWide(caption).c_str(), type);
    }
    void EndDialog(int result) override {
        if (m_modal) {
            ::EndDialog(m_hwnd, result);
        } else {
            ShowWindow(m_hwnd, SW_HIDE);  // destroyed by Close
        }
    }
    intptr_t SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override {
        return SendMessageW(m_hwnd, msg, wParam, lParam);
    }
    bool IsIconic() override { return ::IsIconic(m_hwnd); }
    CRect GetClientRect() override {
        RECT r{};
        ::GetClientRect(m_hwnd, &r);
        return {r.left, r.top, r.right, r.bottom};
    }
    void* BeginPaint() override { return ::BeginPaint(m_hwnd, &m_paint); }
    void EndPaint() override { ::EndPaint(m_hwnd, &m_paint); }
    void DrawIcon(void* dc, int x, int y, Icon icon) override {
        ::DrawIcon(static_cast<HDC>(dc), x, y, static_cast<HICON>(icon));
    }
    void Default() override { m_default = true; }
    void SetTimer(int id, unsigned ms) override {
        ::SetTimer(m_hwnd, static_cast<UINT_PTR>(id), ms, nullptr);
    }
    void KillTimer(int id) override { ::KillTimer(m_hwnd, static_cast<UINT_PTR>(id)); }
    void PostMessage(int id) override { PostMessageW(m_hwnd, WM_APP, static_cast<WPARAM>(id), 0); }

private:
    struct Outcome {
        BOOL handled;
        EventReply reply;
    };

    INT_PTR Init(HWND hwnd) {
        m_hwnd = hwnd;
        OpenHosts().push_back(this);
        m_dlg.Attach(this);
        // Entries are never cut at the edit's default limit.
        for (const ControlTemplate& c : m_dlg.Template().controls)
            if (c.cls == ControlClass::Edit)
                Send(c.id, EM_SETLIMITTEXT, 0);
        return m_dlg.OnInitDialog();
    }

    // A handler that calls Default() leaves the message to the dialog manager. Handlers may
    // run nested (a message box dispatches to this window), so the flag is kept per call.
    Outcome Dispatch(const Event& event) {
        bool outer = std::exchange(m_default, false);
        Outcome out{};
        out.handled = m_dlg.OnWndEvent(event, out.reply) && !m_default;
        m_default = outer;
        return out;
    }

    HWND Item(int id) const { return id == 0 ? m_hwnd : GetDlgItem(m_hwnd, id); }
    bool IsMultilineEdit(int id) const {
        for (const ControlTemplate& c : m_dlg.Template().controls)
            if (c.id == id)
                return c.cls == ControlClass::Edit && (c.style & ES_MULTILINE);
        return false;
    }
    // A multi-line edit changes without drawing and is then painted anew as a whole. New text
    // or a new view would otherwise be shown by scrolling what it shows, pixels copied, and
    // under Wine pixels from outside the edit come in: the result window's partial last line
    // showed the window's top row during a run.
    // New text is drawn with the next paint, not at once: the ring scrolls right after it, and
    // Wine's screen kept the text's top, drawn in between.
    template <class F>
    void Unscrolled(int id, F change, bool now = true) {
        Send(id, WM_SETREDRAW, FALSE);
        change();
        Send(id, WM_SETREDRAW, TRUE);
        // The frame too: the scroll bar is outside the client area.
        RedrawWindow(Item(id), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | (now ? RDW_UPDATENOW : 0));
    }
    LRESULT Send(int id, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
        return SendMessageW(Item(id), msg, wp, lp);
    }
    int SendText(int id, UINT msg, WPARAM wp, const std::string& text) {
        std::wstring wide = platform::ToWide(text);
        return static_cast<int>(Send(id, msg, wp, reinterpret_cast<LPARAM>(wide.c_str())));
    }

    CDialog& m_dlg;
    bool m_modal;
    HWND m_hwnd = nullptr;
    bool m_default = false;
    PAINTSTRUCT m_paint{};
};

// The one place that catches: a handler's fault must not take the window down.
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG)
        SetWindowLongPtrW(hwnd, DWLP_USER, lp);
    auto* host = reinterpret_cast<DialogHost*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!host)
        return FALSE;
    try {
        return host->Handle(hwnd, msg, wp, lp);
    } catch (...) {
        OutputDebugStringW(L"copycheck: an exception reached the dialog procedure\n");
        return msg == WM_INITDIALOG;
    }
}

// Modeless dialogs' hosts, freed by Close.
std::vector<std::unique_ptr<DialogHost>>& ModelessHosts() {
    static std::vector<std::unique_ptr<DialogHost>> hosts;
    return hosts;
}

HWND OwnerFor(const CDialog& dlg) {
    if (dlg.Owner() && dlg.Owner()->GetHost())
        return static_cast<DialogHost*>(dlg.Owner()->GetHost())->Hwnd();
    return static_cast<HWND>(NewestWindow());
}

}  // namespace

void* WindowHandle(const CWnd& wnd) {
    return wnd.GetHost() ? static_cast<DialogHost*>(wnd.GetHost())->Hwnd() : nullptr;
}

void* NewestWindow() {
    return OpenHosts().empty() ? nullptr : OpenHosts().back()->Hwnd();
}

std::vector<uint16_t> TemplateWords(const DialogTemplate& tpl) {
    return TemplateWriter(tpl).Words();
}

}  // namespace fw::win32

namespace fw::backend {

using win32::DialogHost;

int RunModal(CDialog& dlg) {
    DialogHost host(dlg, true);
    win32::TemplateWriter tpl(dlg.Template());
    return static_cast<int>(DialogBoxIndirectParamW(GetModuleHandleW(nullptr), tpl.Get(),
                                                    win32::OwnerFor(dlg), win32::DialogProc,
                                                    reinterpret_cast<LPARAM>(&host)));
}

bool Open(CDialog& dlg) {
    auto host = std::make_unique<DialogHost>(dlg, false);
    win32::TemplateWriter tpl(dlg.Template());
    HWND hwnd =
        CreateDialogIndirectParamW(GetModuleHandleW(nullptr), tpl.Get(), win32::OwnerFor(dlg),
                                   win32::DialogProc, reinterpret_cast<LPARAM>(host.get()));
    if (!hwnd)
        return false;
    ShowWindow(hwnd, SW_SHOW);
    win32::ModelessHosts().push_back(std::move(host));
    return true;
}

void Close(CDialog& dlg) {
    auto& hosts = win32::ModelessHosts();
    auto it = std::find_if(hosts.begin(), hosts.end(),
                           [&](const auto& h) { return h.get() == dlg.GetHost(); });
    if (it == hosts.end())
        return;
    DestroyWindow((*it)->Hwnd());
    hosts.erase(it);
}

}  // namespace fw::backend
