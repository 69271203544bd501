// The one output channel: the ring of 32 result-window entries and the log.
#include "app/CopyCheckDlg.h"

void CCopyCheckDlg::AddResult(const std::string& text) {
    AddLine(text, {});
}

void CCopyCheckDlg::AddPathResult(const std::string& before, const std::string& path,
                                  const std::string& after, LineKind kind) {
    AddLine(before + path + after, {{{before.size(), path.size()}}, kind});
}

void CCopyCheckDlg::AddLine(const std::string& text, const LineInfo& info) {
    int slot = m_nNextLine++;
    m_strResultLines[slot] = "\r\n" + text;
    m_fpLog.WriteLine(text);
    if (m_onResult)
        m_onResult(text, info);
    m_nNextLine &= 31;
    // A run shows the window from the ring when it lets paint through, and at its end.
    if (m_bRunning)
        KeepWindowAlive();
    else
        ShowResultLines();
}

// Sets the window's text to the written slots, oldest first, then scrolls down by their
// number so that the newest entry is the first visible line.
void CCopyCheckDlg::ShowResultLines() {
    std::string display;
    int count = 0;
    for (int k = 0; k < 32; ++k) {
        const std::string& entry = m_strResultLines[(m_nNextLine + k) & 31];
        if (entry.empty())
            continue;
        display += entry;
        ++count;
    }
    SetDlgItemText(IDC_RESULT, display);
    GetDlgItem<fw::CEdit>(IDC_RESULT).LineScroll(count);
}
