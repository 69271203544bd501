// The progress meters: the percentage rule, the total bar's step, and setting a bar.
#include <climits>

#include "app/CopyCheckDlg.h"

uint64_t CCopyCheckDlg::CalcPercent(uint64_t done, uint64_t total) {
    // Under 100 bytes the divisor below would be 0: such a total is empty or full.
    if (total < 100)
        return done == 0 ? 0 : 100;
    // Dividing the total first keeps done * 100 from being formed.
    return done / (total / 100);
}

void CCopyCheckDlg::StepTotalProgress(uint64_t n) {
    m_nDoneBytes += n;
    uint64_t before = CalcPercent(m_nDoneBytes - n, m_nTotalBytes);
    uint64_t after = CalcPercent(m_nDoneBytes, m_nTotalBytes);
    if (before != after)
        SetProgress(IDC_TOTAL_PROGRESS, after);
}

void CCopyCheckDlg::SetProgress(int id, uint64_t percent) {
    // A file that grew after it was listed can go far past its size; the bar shows it full.
    unsigned pos = percent > UINT_MAX ? UINT_MAX : static_cast<unsigned>(percent);
    GetDlgItem<fw::CProgressCtrl>(id).SetPos(pos);
}
