// The user: characters and clicks as the dialog manager turns them into notifications.
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
    Control& c = m_host->Find(id);
    if (!c.enabled)
        return;
    m_host->MoveFocus(id);
    if (c.ReadOnly())
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

// A click is followed by the message loop, as long as the window has work going on.
void User::Click(int id) {
    if (!m_host->Find(id).enabled)
        return;
    m_host->MoveFocus(id);
    Control& c = m_host->Find(id);
    if (c.AutoCheck())
        c.check = c.check ? 0 : 1;
    m_host->Notify(id, BN_CLICKED);
    m_host->Pump();
}

void User::CloseBox() {
    EventReply reply;
    m_host->Dialog().OnWndEvent({Msg::Close}, reply);
    m_host->Pump();
}

}  // namespace fw::headless
