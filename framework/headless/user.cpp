// The scripted user: keys, clicks and characters as the dialog manager turns them into
// notifications, and what a person would see.
#include "framework/headless/headless.h"
#include "framework/headless/host.h"
#include "framework/headless/script.h"
#include "platform/text.h"

namespace fw::headless {

User::User(CWnd& wnd) : m_host(static_cast<HeadlessHost*>(wnd.GetHost())) {
    if (!m_host)
        Fail("the scripted user was given a window that is not open");
}

void User::Type(int id, const std::string& text) {
    m_host->MoveFocus(id);
    Control& c = m_host->Find(id);
    if (c.ReadOnly() || !c.enabled)
        return;
    if (!c.text.empty())
        m_host->UserSetText(id, "");
    auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        size_t n = platform::DecodeUtf8(p + i, p + text.size(), cp);
        m_host->UserSetText(id, m_host->Find(id).text + text.substr(i, n));
        i += n;
    }
}

void User::Focus(int id) {
    if (m_host->Find(id).enabled)
        m_host->MoveFocus(id);
}

void User::Click(int id) {
    if (!m_host->Find(id).enabled)
        return;
    m_host->MoveFocus(id);
    Control& c = m_host->Find(id);
    if (c.AutoCheck())
        c.check = c.check ? 0 : 1;
    m_host->Notify(id, BN_CLICKED);
}

void User::PressEnter() {
    if (m_host->m_focus != 0) {
        Control& c = m_host->Find(m_host->m_focus);
        if (c.Multiline() && (c.tpl->style & ES_WANTRETURN))
            return;
        if (c.Is(ControlClass::Button) && !c.AutoCheck()) {
            m_host->Notify(c.tpl->id, BN_CLICKED);
            return;
        }
    }
    int def = m_host->DefaultButton();
    if (m_host->Find(def).enabled)
        m_host->Notify(def, BN_CLICKED);
}

void User::PressEsc() {
    m_host->Notify(IDCANCEL, BN_CLICKED);
}

void User::Select(int listId, int index) {
    if (!m_host->Find(listId).enabled)
        return;
    m_host->MoveFocus(listId);
    // A click notifies even when the entry was already selected.
    m_host->ListSetCurSel(listId, index);
    m_host->Notify(listId, LBN_SELCHANGE);
}

void User::DoubleClick(int listId, int index) {
    Select(listId, index);
    if (m_host->Find(listId).enabled)
        m_host->Notify(listId, LBN_DBLCLK);
}

void User::ScrollArrow(int scrollBarId, unsigned code) {
    if (!m_host->Find(scrollBarId).enabled)
        return;
    EventReply reply;
    m_host->Dialog().OnWndEvent({Msg::VScroll, scrollBarId, code, 0}, reply);
    m_host->Dialog().OnWndEvent({Msg::VScroll, scrollBarId, SB_ENDSCROLL, 0}, reply);
}

std::string User::Text(int id) const {
    return m_host->GetText(id);
}
bool User::Enabled(int id) const {
    return m_host->Find(id).enabled;
}
int User::Check(int id) const {
    return m_host->Find(id).check;
}
unsigned User::Pos(int id) const {
    return m_host->Find(id).pos;
}
std::vector<unsigned> User::PositionsSent(int id) const {
    return m_host->Find(id).sent;
}
int User::FirstVisibleLine(int id) const {
    return m_host->Find(id).firstLine;
}
int User::LineCount(int id) const {
    return m_host->Find(id).Lines();
}
std::vector<std::string> User::Items(int listId) const {
    return m_host->Find(listId).items;
}
int User::CurSel(int listId) const {
    return m_host->Find(listId).curSel;
}
int User::Focused() const {
    return m_host->m_focus;
}
bool User::Ended() const {
    return m_host->m_ended;
}

}  // namespace fw::headless
