// The main window: construction, event routing, start-up, painting, and the settings.
#include "app/CopyCheckDlg.h"

#include "platform/dirs.h"

using namespace fw;

CCopyCheckDlg::CCopyCheckDlg(CWnd* pParent)
    : CDialog(IDD_COPYCHECK_DIALOG, pParent),
      m_hIcon(LoadIcon(IDR_MAINFRAME)),
      m_fs(&platform::RealFileSystem()) {}

bool CCopyCheckDlg::OnWndEvent(const Event& event, EventReply& reply) {
    using T = CCopyCheckDlg;
    static constexpr EventEntry<T> kEvents[] = {
        OnPaintMsg(&T::OnPaint),
        OnQueryDragIconMsg(&T::OnQueryDragIcon),
        OnCommand(EN_CHANGE, IDC_SRC_PATH, &T::OnChangeSrcPath),
        OnCommand(EN_CHANGE, IDC_DST_PATH, &T::OnChangeDstPath),
        OnCommand(BN_CLICKED, IDC_KEEP_LOG, &T::OnClickKeepLog),
        OnCommand(BN_CLICKED, IDC_NAMES_ONLY, &T::OnClickNamesOnly),
        OnCommand(EN_KILLFOCUS, IDC_DIFF_LIMIT, &T::OnKillFocusDiffLimit),
        OnCommand(EN_KILLFOCUS, IDC_BLOCK_KB, &T::OnKillFocusBlockKB),
        OnCommand(EN_CHANGE, IDC_LOG_PATH, &T::OnChangeLogPath),
        OnCommand(BN_CLICKED, IDC_SRC_BROWSE, &T::OnSrcBrowse),
        OnCommand(BN_CLICKED, IDC_DST_BROWSE, &T::OnDstBrowse),
        OnCommand(BN_CLICKED, IDC_LOG_BROWSE, &T::OnLogBrowse),
        OnVScrollMsg(&T::OnVScroll),
    };
    return Dispatch<T>(*this, kEvents, event, reply) || OnWndEventRun(event) ||
           CDialog::OnWndEvent(event, reply);
}

void CCopyCheckDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_SRC_PATH, m_strSrcPath);
    DDX_Text(pDX, IDC_DST_PATH, m_strDstPath);
    DDX_Text(pDX, IDC_RESULT, m_strResult);
    DDX_Text(pDX, IDC_DIFF_LIMIT, m_nDiffLimit);
    DDX_Text(pDX, IDC_BLOCK_KB, m_nBlockKB);
    DDX_Check(pDX, IDC_KEEP_LOG, m_bKeepLog);
    DDX_Check(pDX, IDC_NAMES_ONLY, m_bNamesOnly);
    DDX_Text(pDX, IDC_LOG_PATH, m_strLogPath);
}

bool CCopyCheckDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    SendMessage(WM_SETICON, 1, reinterpret_cast<intptr_t>(m_hIcon));
    SendMessage(WM_SETICON, 0, reinterpret_cast<intptr_t>(m_hIcon));

    m_nDiffLimit = 1;
    SetDlgItemInt(IDC_DIFF_LIMIT, 1);
    m_nBlockKB = 1024;
    SetDlgItemInt(IDC_BLOCK_KB, 1024);

    // The paths follow their fields through the change handlers.
    std::string dir;
    platform::Error error;
    platform::GetCurrentDir(dir, error);
    SetDlgItemText(IDC_SRC_PATH, dir);
    SetDlgItemText(IDC_DST_PATH, dir);
    SetDlgItemText(IDC_LOG_PATH, platform::FullPath("check.log"));
    return true;
}

void CCopyCheckDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, dc.GetSafeHdc(), 0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect = GetClientRect();
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

Icon CCopyCheckDlg::OnQueryDragIcon() {
    return m_hIcon;
}

void CCopyCheckDlg::OnChangeSrcPath() {
    m_strSrcPath = GetDlgItemText(IDC_SRC_PATH);
}

void CCopyCheckDlg::OnChangeDstPath() {
    m_strDstPath = GetDlgItemText(IDC_DST_PATH);
}

void CCopyCheckDlg::OnChangeLogPath() {
    m_strLogPath = GetDlgItemText(IDC_LOG_PATH);
}

void CCopyCheckDlg::OnClickKeepLog() {
    m_bKeepLog = GetDlgItem<CButton>(IDC_KEEP_LOG).GetCheck();
    GetDlgItem(IDC_LOG_PATH).EnableWindow(m_bKeepLog != 0);
    GetDlgItem(IDC_LOG_BROWSE).EnableWindow(m_bKeepLog != 0);
}

void CCopyCheckDlg::OnClickNamesOnly() {
    m_bNamesOnly = GetDlgItem<CButton>(IDC_NAMES_ONLY).GetCheck();
}

void CCopyCheckDlg::CorrectNumber(int id, unsigned& member, unsigned upper,
                                  const std::string& notice) {
    // Read signed and test unsigned: a negative entry counts as above the range.
    unsigned value = GetDlgItemInt(id);
    member = value;
    if (value != 0 && value <= upper)
        return;
    AddResult(notice);
    unsigned corrected = value == 0 ? 1 : upper;
    SetDlgItemInt(id, corrected);
    member = corrected;
}

void CCopyCheckDlg::OnKillFocusDiffLimit() {
    CorrectNumber(IDC_DIFF_LIMIT, m_nDiffLimit, 999,
                  "Notice>差違の数は、1～999の範囲に自動修正されます");
}

void CCopyCheckDlg::OnKillFocusBlockKB() {
    CorrectNumber(IDC_BLOCK_KB, m_nBlockKB, 10240,
                  "Notice>比較サイズは、1～10240の範囲に自動修正されます");
}

void CCopyCheckDlg::OnVScroll(unsigned nSBCode, unsigned nPos, CScrollBar* pScrollBar) {
    if (pScrollBar && *pScrollBar == GetDlgItem<CScrollBar>(IDC_BLOCK_SPIN) &&
        (nSBCode == SB_LINEUP || nSBCode == SB_LINEDOWN)) {
        unsigned value = GetDlgItemInt(IDC_BLOCK_KB);
        unsigned rest = value % 1024;
        if (nSBCode == SB_LINEUP) {
            // Compared in 64 bits so a huge typed value cannot wrap to a small one.
            uint64_t up = uint64_t{value} + (rest ? 1024 - rest : 1024);
            value = up > 10240 ? 10240 : static_cast<unsigned>(up);
        } else if (value <= 1024) {
            value = 1;  // also from an empty or zero field, which must not wrap around
        } else {
            value -= rest ? rest : 1024;
        }
        SetDlgItemInt(IDC_BLOCK_KB, value);
        m_nBlockKB = value;
    }
    CDialog::OnVScroll(nSBCode, nPos, pScrollBar);
}
