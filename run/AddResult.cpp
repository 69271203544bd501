// The one output channel: the ring of 32 result-window entries and the log.
#include "app/CopyCheckDlg.h"

void CCopyCheckDlg::AddResult(const std::string& text) {
    AddLine(text, {});
}

void CCopyCheckDlg::AddPathResult(const std::string& before, const std::string& path,
                                  const std::string& after, LineKind kind) {
    LineInfo info;
    info.paths = {{before.size(), path.size()}};
    info.kind = kind;
    AddLine(before + path + after, info);
}

// During a run, on the check's thread: the log and the listener take the line at once, the
// window at its next tick.
void CCopyCheckDlg::AddLine(const std::string& text, const LineInfo& info) {
    m_fpLog.WriteLine(text);
    {
        std::lock_guard lock(m_stateLock);
        m_strResultLines[m_nNextLine] = "\r\n" + text;
        m_nNextLine = (m_nNextLine + 1) & 31;
        m_bRingChanged = true;
    }
    if (m_onResult)
        m_onResult(text, info);
    if (m_bRunning)
        m_fpLog.Pulse();
    else
        ShowResultLines();
}

// Sets the window's text to the written slots, oldest first, then scrolls down by their
// number so that the newest entry is the first visible line.
void CCopyCheckDlg::ShowResultLines() {
    std::string display;
    int count = 0;
    std::unique_lock lock(m_stateLock);
    m_bRingChanged = false;
    for (int k = 0; k < 32; ++k) {
        const std::string& entry = m_strResultLines[(m_nNextLine + k) & 31];
        if (entry.empty())
            continue;
        display += entry;
        ++count;
    }
    lock.unlock();
    SetDlgItemText(IDC_RESULT, display);
    GetDlgItem<fw::CEdit>(IDC_RESULT).LineScroll(count);
}
