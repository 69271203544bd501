// The check run: from the confirmation and the log to the check and the log's end.
#include <chrono>
#include <climits>

#include "app/CopyCheckDlg.h"

using namespace fw;

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void CCopyCheckDlg::OnOK() {
    if (MessageBox("ファイルの比較を開始するんですね？", "確認", MB_OKCANCEL) == IDCANCEL)
        return;
    m_lastRun = {};
    m_bRunning = true;
    m_nLastShownMs = NowMs();
    m_nLastFlushMs = m_nLastShownMs;
    m_bLogOpen = false;
    if (m_bKeepLog)
        OpenLog();
    UpdateData(true);
    engine::Check check(CheckSettings(), *m_fs, *this);
    static_cast<engine::Outcome&>(m_lastRun) = check.Run();
    if (m_lastRun.namesOnlyFallback) {
        m_bNamesOnly = 1;
        GetDlgItem<CButton>(IDC_NAMES_ONLY).SetCheck(BST_CHECKED);
    }
    CloseLog();
    m_bRunning = false;
    ShowResultLines();
}

engine::Settings CCopyCheckDlg::CheckSettings() const {
    engine::Settings settings;
    settings.source = m_strSrcPath;
    settings.destination = m_strDstPath;
    settings.blockBytes = size_t{m_nBlockKB} * 1024;
    settings.differenceLimit = m_bNoDiffLimit ? 0 : m_nDiffLimit;
    settings.namesOnly = m_bNamesOnly != 0;
    settings.cached = m_bCached;
    settings.readAhead = m_bReadAhead;
    settings.extras = m_bExtras;
    settings.ownFiles = m_ownFiles;
    settings.digests = m_onVerified != nullptr;
    settings.keepLog = m_bKeepLog != 0;
    settings.logPath = m_strLogPath;
    settings.stop = m_pStop;
    settings.allocate = m_allocate;
    return settings;
}

// Opens the log unless it would lie in either tree, where it would be checked, or replace
// or add a file the check is about.
void CCopyCheckDlg::OpenLog() {
    bool inside = false;
    m_bLogOpen = m_fpLog.Open(*m_fs, m_strLogPath, {m_strSrcPath, m_strDstPath}, inside);
    if (m_bLogOpen)
        return;
    m_lastRun.logFailed = true;
    MessageBox("ログファイルのオープンに失敗しました。", "Notice", MB_OK);
    if (inside)
        AddPathResult("Notice>結果ログファイルはコピー元とコピー先の外に作成してください：",
                      m_strLogPath, "");
}

void CCopyCheckDlg::CloseLog() {
    if (!m_bLogOpen)
        return;
    bool written = m_fpLog.Close();
    m_bLogOpen = false;
    m_lastRun.logFailed = m_lastRun.logFailed || !written;
    // Window only: the log is closed.
    if (!written)
        AddPathResult("Notice>ログファイルの書き込みに失敗しました：", m_strLogPath, "");
}

// A run that is cut short keeps at least what it set out to do.
void CCopyCheckDlg::HeaderDone() {
    if (m_bLogOpen)
        m_fpLog.Flush();
}

void CCopyCheckDlg::SetMeter(engine::Meter meter, uint64_t percent) {
    // A file that grew after it was listed can go far past its size; the bar shows it full.
    unsigned pos = percent > UINT_MAX ? UINT_MAX : static_cast<unsigned>(percent);
    GetDlgItem<CProgressCtrl>(meter == engine::Meter::kTotal ? IDC_TOTAL_PROGRESS
                                                             : IDC_FILE_PROGRESS)
        .SetPos(pos);
}

void CCopyCheckDlg::Verified(const std::string& relative, const platform::Sha256::Digest* digest) {
    if (m_onVerified)
        m_onVerified(relative, digest);
}

void CCopyCheckDlg::KeepWindowAlive() {
    if (!m_bRunning)
        return;
    int64_t now = NowMs();
    if (now - m_nLastShownMs < 100)
        return;
    m_nLastShownMs = now;
    // A run that is cut short keeps its log up to its last second.
    if (m_bLogOpen && now - m_nLastFlushMs >= 1000) {
        m_nLastFlushMs = now;
        m_fpLog.Flush();
    }
    ShowResultLines();
    LetPaintThrough();
}
