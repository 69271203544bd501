// Windows and controls in memory: focus and its loss, the default button, change
// notifications for every text change, list notifications on user action only; and the
// backend's entry points that make and run them.
#include "framework/headless/host.h"

#include <algorithm>
#include <utility>

#include "framework/backend.h"
#include "framework/headless/dirlist.h"
#include "framework/headless/script.h"
#include "platform/text.h"

namespace fw::headless {

namespace {

constexpr size_t kMaxPositionsKept = 100000;

// A sorted list box's order, as the system's: without regard to case, punctuation before
// digits before letters, other characters after.
int SortKey(char c) {
    unsigned char u = static_cast<unsigned char>(platform::AsciiLower(c));
    int rank = u >= 0x80 ? 3 : (u >= 'a' && u <= 'z') ? 2 : (u >= '0' && u <= '9') ? 1 : 0;
    return rank << 8 | u;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return SortKey(x) < SortKey(y); });
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (platform::AsciiLower(text[i]) != platform::AsciiLower(prefix[i]))
            return false;
    return true;
}

// Open windows, newest last: a new modal dialog is owned by the newest.
std::vector<HeadlessHost*>& OpenHosts() {
    static std::vector<HeadlessHost*> open;
    return open;
}

HeadlessHost* MakeHost(CDialog& dlg) {
    auto* host = new HeadlessHost(dlg);
    OpenHosts().push_back(host);
    host->Init();
    return host;
}

void DropHost(CDialog& dlg) {
    auto* host = static_cast<HeadlessHost*>(dlg.GetHost());
    std::erase(OpenHosts(), host);
    dlg.Attach(nullptr);
    delete host;
}

}  // namespace

int Control::Lines() const {
    if (!Multiline())
        return 1;
    int n = 1;
    for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2))
        ++n;
    return n;
}

HeadlessHost::HeadlessHost(CDialog& dlg) : m_caption(dlg.Template().caption), m_dlg(dlg) {
    for (const ControlTemplate& c : dlg.Template().controls)
        m_controls.emplace_back(&c);
}

void HeadlessHost::Init() {
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

Control& HeadlessHost::Find(int id) {
    for (Control& c : m_controls)
        if (c.tpl->id == id)
            return c;
    Fail("no control " + std::to_string(id) + " in \"" + m_caption + "\"");
    static ControlTemplate missing{ControlClass::Static, 0, "", 0, 0, 0, 0, 0};
    static Control none(&missing);
    return none;
}

void HeadlessHost::Notify(int id, unsigned code) {
    EventReply reply;
    m_dlg.OnWndEvent({Msg::Command, id, code}, reply);
}

void HeadlessHost::MoveFocus(int id) {
    if (m_focus == id)
        return;
    int old = m_focus;
    m_focus = id;
    if (old != 0 && Find(old).IsEdit())
        Notify(old, EN_KILLFOCUS);
}

void HeadlessHost::UserSetText(int id, const std::string& text) {
    Control& c = Find(id);
    c.text = text;
    c.firstLine = 0;
    if (c.IsEdit())
        Notify(id, EN_CHANGE);
}

int HeadlessHost::DefaultButton() {
    for (const Control& c : m_controls)
        if (c.Is(ControlClass::Button) && (c.tpl->style & 0xF) == BS_DEFPUSHBUTTON)
            return c.tpl->id;
    return IDOK;
}

void HeadlessHost::SetText(int id, const std::string& text) {
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

std::string HeadlessHost::GetText(int id) {
    return id == 0 ? m_caption : Find(id).text;
}

void HeadlessHost::Enable(int id, bool enable) {
    Find(id).enabled = enable;
    if (!enable && m_focus == id)
        MoveFocus(0);
}

void HeadlessHost::SetFocus(int id) {
    MoveFocus(id);
}
int HeadlessHost::GetCheck(int id) {
    return Find(id).check;
}
void HeadlessHost::SetCheck(int id, int check) {
    Find(id).check = check;
}

// The view may scroll until the last line is the first visible line.
void HeadlessHost::LineScroll(int id, int lines) {
    Control& c = Find(id);
    c.firstLine = std::clamp(c.firstLine + lines, 0, c.Lines() - 1);
}

void HeadlessHost::SetProgress(int id, unsigned pos) {
    Control& c = Find(id);
    // Kept for the tests to read; bounded, as a long run sets a bar once per block.
    if (c.sent.size() < kMaxPositionsKept)
        c.sent.push_back(pos);
}

void HeadlessHost::ListReset(int id) {
    Control& c = Find(id);
    c.items.clear();
    c.curSel = -1;
}

int HeadlessHost::ListAdd(int id, const std::string& text) {
    Control& c = Find(id);
    auto at = c.items.end();
    if (c.tpl->style & LBS_SORT)
        at = std::upper_bound(c.items.begin(), c.items.end(), text, LessNoCase);
    return static_cast<int>(c.items.insert(at, text) - c.items.begin());
}

int HeadlessHost::ListInsert(int id, int index, const std::string& text) {
    Control& c = Find(id);
    if (index < 0 || index > static_cast<int>(c.items.size()))
        index = static_cast<int>(c.items.size());
    c.items.insert(c.items.begin() + index, text);
    if (c.curSel >= index)
        ++c.curSel;
    return index;
}

int HeadlessHost::ListSelectString(int id, int start, const std::string& prefix) {
    Control& c = Find(id);
    int n = static_cast<int>(c.items.size());
    for (int k = 1; k <= n; ++k) {
        int i = ((start < 0 ? -1 : start) + k) % n;
        if (StartsWithNoCase(c.items[i], prefix))
            return c.curSel = i;
    }
    return LB_ERR;
}

int HeadlessHost::ListSetCurSel(int id, int index) {
    Control& c = Find(id);
    if (index < 0 || index >= static_cast<int>(c.items.size())) {
        c.curSel = -1;
        return LB_ERR;
    }
    return c.curSel = index;
}

int HeadlessHost::ListGetCurSel(int id) {
    return Find(id).curSel;
}

bool HeadlessHost::DirList(std::string& pathSpec, int listId, unsigned type) {
    ListReset(listId);
    std::vector<std::string> entries;
    bool ok = DirListEntries(script().fs ? *script().fs : platform::RealFileSystem(), pathSpec,
                             type, entries);
    for (const std::string& e : entries)
        ListAdd(listId, e);
    return ok;
}

bool HeadlessHost::DirSelect(int listId, std::string& selection) {
    Control& c = Find(listId);
    if (c.curSel < 0 || c.curSel >= static_cast<int>(c.items.size()))
        return false;
    selection = DirSelection(c.items[c.curSel]);
    return true;
}

int HeadlessHost::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
    return Away([&] {
        if (script().boxHandler)
            return script().boxHandler({text, caption, type});
        Fail("unanswered message box \"" + caption + "\": " + text);
        return static_cast<int>(IDCANCEL);
    });
}

void HeadlessHost::EndDialog(int result) {
    m_ended = true;
    m_result = result;
}

CRect HeadlessHost::GetClientRect() {
    return {0, 0, m_dlg.Template().cx * 2, m_dlg.Template().cy * 2};
}

void HeadlessHost::SetTimer(int id, unsigned ms) {
    KillTimer(id);
    auto every = std::chrono::milliseconds(ms);
    m_timers.push_back({id, every, std::chrono::steady_clock::now() + every});
}

void HeadlessHost::KillTimer(int id) {
    std::erase_if(m_timers, [&](const Timer& t) { return t.id == id; });
}

void HeadlessHost::PostMessage(int id) {
    std::lock_guard lock(m_queueLock);
    m_queue.push_back(id);
    m_queued.notify_one();
}

void HeadlessHost::Pump() {
    if (std::exchange(m_pumping, true))
        return;
    for (;;) {
        std::unique_lock lock(m_queueLock);
        if (m_queue.empty() && m_timers.empty())
            break;
        if (m_queue.empty()) {
            auto due =
                std::min_element(m_timers.begin(), m_timers.end(),
                                 [](const Timer& a, const Timer& b) { return a.due < b.due; })
                    ->due;
            m_queued.wait_until(lock, due, [&] { return !m_queue.empty(); });
        }
        if (m_queue.empty()) {
            lock.unlock();
            FireDueTimer();
            continue;
        }
        int id = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        EventReply reply;
        m_dlg.OnWndEvent({Msg::Posted, id}, reply);
    }
    m_pumping = false;
}

// A tick is what paints: the paint hook sees the window as a person would.
void HeadlessHost::FireDueTimer() {
    auto now = std::chrono::steady_clock::now();
    for (Timer& t : m_timers) {
        if (t.due > now)
            continue;
        t.due = now + t.every;
        int id = t.id;  // the handler may kill it
        EventReply reply;
        m_dlg.OnWndEvent({Msg::Timer, id}, reply);
        if (script().paintHook)
            script().paintHook();
        return;
    }
}

}  // namespace fw::headless

namespace fw::backend {

using headless::HeadlessHost;

int RunModal(CDialog& dlg) {
    auto& open = headless::OpenHosts();
    HeadlessHost* owner = open.empty() ? nullptr : open.back();
    auto run = [&] {
        HeadlessHost* host = headless::MakeHost(dlg);
        if (!host->m_ended) {
            if (!headless::script().dialogHandler) {
                headless::Fail("unanswered dialog \"" + host->m_caption + "\"");
            } else {
                headless::script().dialogHandler(dlg);
                if (!host->m_ended)
                    headless::Fail("dialog \"" + host->m_caption + "\" left open");
            }
        }
        int result = host->m_ended ? host->m_result : static_cast<int>(IDCANCEL);
        headless::DropHost(dlg);
        return result;
    };
    return owner ? owner->Away(run) : run();
}

int RunFileDialog(const CFileDialog& dlg, std::string& path) {
    auto answer = [&] {
        auto& handler = headless::script().fileDialogHandler;
        if (!handler) {
            headless::Fail("unanswered file dialog");
            return static_cast<int>(IDCANCEL);
        }
        std::optional<std::string> chosen =
            handler({dlg.m_bOpenFileDialog, dlg.m_strDefExt, dlg.m_strFileName, dlg.m_strFilter,
                     dlg.m_nFlags});
        if (!chosen)
            return static_cast<int>(IDCANCEL);
        path = *chosen;
        return static_cast<int>(IDOK);
    };
    auto& open = headless::OpenHosts();
    return open.empty() ? answer() : open.back()->Away(answer);
}

bool Open(CDialog& dlg) {
    headless::MakeHost(dlg);
    return true;
}

void Close(CDialog& dlg) {
    headless::DropHost(dlg);
}

}  // namespace fw::backend

namespace fw {

void CWinApp::Enable3dControls() {}

Icon LoadIcon(int resourceId) {
    return reinterpret_cast<Icon>(static_cast<intptr_t>(resourceId));
}

int GetSystemMetrics(int index) {
    return index == SM_CXICON || index == SM_CYICON ? 32 : 0;
}

}  // namespace fw
