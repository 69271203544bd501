// Our application framework: the application object, windows, dialogs, typed controls,
// event tables and data exchange. The backend (Win32 or headless) lives behind Host.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "framework/template.h"
#include "framework/winconst.h"

namespace fw {

using Icon = void*;  // an icon handle; the headless backend hands out tokens

struct CRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

class CDialog;

// One open window of a backend. The framework's classes are thin layers over it.
class Host {
public:
    virtual ~Host() = default;
    virtual void SetText(int id, const std::string& text) = 0;  // id 0: the window itself
    virtual std::string GetText(int id) = 0;
    virtual void Enable(int id, bool enable) = 0;
    virtual void SetFocus(int id) = 0;
    virtual int GetCheck(int id) = 0;
    virtual void SetCheck(int id, int check) = 0;
    virtual void LineScroll(int id, int lines) = 0;
    virtual void SetProgress(int id, unsigned pos) = 0;
    virtual void ListReset(int id) = 0;
    virtual int ListAdd(int id, const std::string& text) = 0;  // sorted lists sort it in
    virtual int ListInsert(int id, int index, const std::string& text) = 0;
    virtual int ListSelectString(int id, int start, const std::string& prefix) = 0;
    virtual int ListSetCurSel(int id, int index) = 0;
    virtual int ListGetCurSel(int id) = 0;
    // Fills a list with the drives or the subdirectories of the directory pathSpec names, in
    // the system's bracketed forms ("[-c-]", "[..]", "[name]"); false when it cannot.
    virtual bool DirList(std::string& pathSpec, int listId, unsigned type) = 0;
    // The selected entry without brackets: "name" + separator, or a drive letter and ":".
    virtual bool DirSelect(int listId, std::string& selection) = 0;
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
    virtual void EndDialog(int result) = 0;
    virtual intptr_t SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) = 0;
    virtual bool IsIconic() = 0;
    virtual CRect GetClientRect() = 0;
    virtual void* BeginPaint() = 0;  // a device context
    virtual void EndPaint() = 0;
    virtual void DrawIcon(void* dc, int x, int y, Icon icon) = 0;
    virtual void Default() = 0;  // default handling of the message being dispatched
    // A Timer event with that id every so many milliseconds, on the window's thread.
    virtual void SetTimer(int id, unsigned ms) = 0;
    virtual void KillTimer(int id) = 0;
    // From any thread: a Posted event with that id, on the window's thread, in order.
    virtual void PostMessage(int id) = 0;
};

// A control of an open window, reached by id: a cheap value, like a window handle.
class CCtrl {
public:
    CCtrl() = default;
    CCtrl(Host* host, int id) : m_host(host), m_id(id) {}
    bool operator==(const CCtrl&) const = default;
    void EnableWindow(bool enable) { m_host->Enable(m_id, enable); }
    void SetFocus() { m_host->SetFocus(m_id); }

protected:
    Host* m_host = nullptr;
    int m_id = 0;
};

class CEdit : public CCtrl {
public:
    using CCtrl::CCtrl;
    void LineScroll(int lines) { m_host->LineScroll(m_id, lines); }
};

class CButton : public CCtrl {
public:
    using CCtrl::CCtrl;
    int GetCheck() const { return m_host->GetCheck(m_id); }
    void SetCheck(int check) { m_host->SetCheck(m_id, check); }
};

class CListBox : public CCtrl {
public:
    using CCtrl::CCtrl;
    void ResetContent() { m_host->ListReset(m_id); }
    int AddString(const std::string& text) { return m_host->ListAdd(m_id, text); }
    int InsertString(int index, const std::string& text) {
        return m_host->ListInsert(m_id, index, text);
    }
    // Selects the first entry from start on that begins with prefix, ignoring case;
    // raises no notification.
    int SelectString(int start, const std::string& prefix) {
        return m_host->ListSelectString(m_id, start, prefix);
    }
    int SetCurSel(int index) { return m_host->ListSetCurSel(m_id, index); }
    int GetCurSel() const { return m_host->ListGetCurSel(m_id); }
};

// A bar over the range 0 to 100; positions above 100 show full.
class CProgressCtrl : public CCtrl {
public:
    using CCtrl::CCtrl;
    void SetPos(unsigned pos) { m_host->SetProgress(m_id, pos); }
};

// A vertical scroll bar used as a pair of arrows.
class CScrollBar : public CCtrl {
public:
    using CCtrl::CCtrl;
};

// What a backend hands to a window. Close is the close box; EndSession comes only when the
// session does end.
enum class Msg {
    Command,
    VScroll,
    Paint,
    QueryDragIcon,
    Timer,
    Posted,
    Close,
    QueryEndSession,
    EndSession
};
struct Event {
    Msg msg;
    int id = 0;         // the control, timer or posted message
    unsigned code = 0;  // the notification, or the scroll code
    unsigned pos = 0;   // the scroll position
};
struct EventReply {
    Icon icon = nullptr;  // the answer to QueryDragIcon
};

class CDataExchange;
class CWnd;

// One entry of a window class's static event table; the handler's type is checked when the
// table is compiled.
template <class T>
struct EventEntry {
    Msg msg;
    unsigned code;
    int id;
    std::variant<void (T::*)(), void (T::*)(unsigned, unsigned, CScrollBar*), Icon (T::*)()>
        handler;
};

template <class T>
constexpr EventEntry<T> OnCommand(unsigned code, int id, void (T::*fn)()) {
    return {Msg::Command, code, id, fn};
}
// Timer and Posted events by id; the others by message alone (id 0).
template <class T>
constexpr EventEntry<T> OnMessage(Msg msg, int id, void (T::*fn)()) {
    return {msg, 0, id, fn};
}
template <class T>
constexpr EventEntry<T> OnVScrollMsg(void (T::*fn)(unsigned, unsigned, CScrollBar*)) {
    return {Msg::VScroll, 0, 0, fn};
}
template <class T>
constexpr EventEntry<T> OnPaintMsg(void (T::*fn)()) {
    return {Msg::Paint, 0, 0, fn};
}
template <class T>
constexpr EventEntry<T> OnQueryDragIconMsg(Icon (T::*fn)()) {
    return {Msg::QueryDragIcon, 0, 0, fn};
}

template <class T>
bool Dispatch(T& wnd, std::span<const EventEntry<T>> table, const Event& event, EventReply& reply);

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd() = default;

    template <class Ctrl = CCtrl>
    Ctrl GetDlgItem(int id) const {
        return Ctrl(m_host, id);
    }
    void SetDlgItemText(int id, const std::string& text) { m_host->SetText(id, text); }
    std::string GetDlgItemText(int id) const { return m_host->GetText(id); }
    void SetDlgItemInt(int id, unsigned value, bool isSigned = true);
    // The field read as a decimal number; 0 when it is not one (translated then false).
    unsigned GetDlgItemInt(int id, bool* translated = nullptr, bool isSigned = true) const;
    bool DlgDirList(std::string& pathSpec, int listId, int /*staticId*/, unsigned type) {
        return m_host->DirList(pathSpec, listId, type);
    }
    bool DlgDirSelectEx(std::string& selection, int listId) {
        return m_host->DirSelect(listId, selection);
    }
    int MessageBox(const std::string& text, const std::string& caption, unsigned type = MB_OK) {
        return m_host->MessageBox(text, caption, type);
    }
    bool UpdateData(bool saveAndValidate = true);
    intptr_t SendMessage(unsigned msg, uintptr_t wParam = 0, intptr_t lParam = 0) {
        return m_host->SendMessage(msg, wParam, lParam);
    }
    bool IsIconic() const { return m_host->IsIconic(); }
    CRect GetClientRect() const { return m_host->GetClientRect(); }
    void Default() { m_host->Default(); }
    void SetTimer(int id, unsigned ms) { m_host->SetTimer(id, ms); }
    void KillTimer(int id) { m_host->KillTimer(id); }
    void PostMessage(int id) { m_host->PostMessage(id); }
    Host* GetHost() const { return m_host; }

    // Called by the backend for every event of the window; true when handled.
    virtual bool OnWndEvent(const Event& event, EventReply& reply);
    // Called by the backend with the window's host, or null when the window is gone.
    void Attach(Host* host) { m_host = host; }

protected:
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnVScroll(unsigned, unsigned, CScrollBar*) {}

    Host* m_host = nullptr;
};

class CDialog : public CWnd {
public:
    explicit CDialog(int templateId, CWnd* parent = nullptr);
    CDialog(const DialogTemplate& tpl, CWnd* parent = nullptr);

    // Shows the dialog modally; returns the result given to EndDialog, or -1 when the
    // window could not be made.
    virtual int DoModal();
    // Opens the dialog without a modal loop, for the scripted user and the command line.
    bool Create();
    void DestroyWindow();
    void EndDialog(int result) { m_host->EndDialog(result); }

    virtual bool OnInitDialog();
    const DialogTemplate& Template() const { return *m_template; }
    CWnd* Owner() const { return m_parent; }

    bool OnWndEvent(const Event& event, EventReply& reply) override;

protected:
    virtual void OnOK();
    virtual void OnCancel();

private:
    const DialogTemplate* m_template;
    CWnd* m_parent;
};

class CWinApp {
public:
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();
    virtual bool InitInstance() { return false; }
    // Prepares the common controls the dialogs use (the progress bar among them).
    void Enable3dControls();

    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();

// The icon resource of the program with that id, at the system's standard size.
Icon LoadIcon(int resourceId);
int GetSystemMetrics(int index);

// A paint context for the duration of one WM_PAINT.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* wnd) : m_host(wnd->GetHost()), m_dc(m_host->BeginPaint()) {}
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    ~CPaintDC() { m_host->EndPaint(); }
    uintptr_t GetSafeHdc() const { return reinterpret_cast<uintptr_t>(m_dc); }
    void DrawIcon(int x, int y, Icon icon) { m_host->DrawIcon(m_dc, x, y, icon); }

private:
    Host* m_host;
    void* m_dc;
};

template <class T>
bool Dispatch(T& wnd, std::span<const EventEntry<T>> table, const Event& event, EventReply& reply) {
    for (const EventEntry<T>& e : table) {
        if (e.msg != event.msg)
            continue;
        if (e.msg == Msg::Command && e.code != event.code)
            continue;
        if (e.id != event.id && e.msg != Msg::VScroll)
            continue;
        if (auto fn = std::get_if<void (T::*)()>(&e.handler)) {
            (wnd.**fn)();
        } else if (auto vs =
                       std::get_if<void (T::*)(unsigned, unsigned, CScrollBar*)>(&e.handler)) {
            CScrollBar bar(wnd.GetHost(), event.id);
            (wnd.**vs)(event.code, event.pos, &bar);
        } else if (auto qi = std::get_if<Icon (T::*)()>(&e.handler)) {
            reply.icon = (wnd.**qi)();
        }
        return true;
    }
    return false;
}

}  // namespace fw
