// The check run: from the confirmation and the log to the check on a thread of its own, its
// stop, and the log's end.
#include <climits>

#include "app/CopyCheckDlg.h"

using namespace fw;

namespace {

constexpr int kTickTimer = 1;
constexpr unsigned kTickMs = 20;  // the display's pace, not the files'
constexpr int kRunEndedMessage = 1;

// What cannot change while a check runs, the start button among them.
constexpr int kSettingIds[] = {IDC_SRC_PATH,   IDC_DST_PATH,   IDC_SRC_BROWSE, IDC_DST_BROWSE,
                               IDC_NAMES_ONLY, IDC_DIFF_LIMIT, IDC_BLOCK_KB,   IDC_BLOCK_SPIN,
                               IDC_KEEP_LOG,   IDC_LOG_PATH,   IDC_LOG_BROWSE, IDOK};

}  // namespace

CCopyCheckDlg::~CCopyCheckDlg() {
    if (!m_worker.joinable())
        return;
    m_stop = true;
    m_worker.join();
}

void CCopyCheckDlg::OnOK() {
    if (m_bRunning)
        return;
    if (MessageBox("ファイルの比較を開始するんですね？", "確認", MB_OKCANCEL) == IDCANCEL)
        return;
    m_lastRun = {};
    // Esc and 終了 still answer while the rest waits for the run.
    GetDlgItem(IDCANCEL).SetFocus();
    EnableSettings(false);
    if (m_bKeepLog)
        OpenLog();
    UpdateData(true);
    m_stop = false;
    m_bCloseAfterRun = false;
    m_meters = {-1, -1};
    m_bRunning = true;
    SetTimer(kTickTimer, kTickMs);
    m_worker = std::thread(&CCopyCheckDlg::RunCheck, this, CheckSettings());
}

bool CCopyCheckDlg::OnWndEventRun(const Event& event) {
    using T = CCopyCheckDlg;
    static constexpr EventEntry<T> kEvents[] = {
        OnMessage(Msg::Timer, kTickTimer, &T::OnTick),
        OnMessage(Msg::Posted, kRunEndedMessage, &T::OnRunEnded),
        OnMessage(Msg::Close, 0, &T::OnClose),
        OnMessage(Msg::QueryEndSession, 0, &T::OnQueryEndSession),
        OnMessage(Msg::EndSession, 0, &T::OnEndSession),
    };
    EventReply reply;
    return Dispatch<T>(*this, kEvents, event, reply);
}

void CCopyCheckDlg::RunCheck(engine::Settings settings) {
    engine::Check check(settings, *m_fs, *this);
    static_cast<engine::Outcome&>(m_lastRun) = check.Run();
    CloseLog();
    PostMessage(kRunEndedMessage);
}

void CCopyCheckDlg::OnRunEnded() {
    if (!m_bRunning)
        return;
    m_worker.join();
    KillTimer(kTickTimer);
    OnTick();
    m_bRunning = false;
    if (!m_strCaption.empty())
        SetDlgItemText(0, std::exchange(m_strCaption, {}));
    if (m_lastRun.namesOnlyFallback) {
        m_bNamesOnly = 1;
        GetDlgItem<CButton>(IDC_NAMES_ONLY).SetCheck(BST_CHECKED);
    }
    EnableSettings(true);
    if (m_bCloseAfterRun)
        EndDialog(IDCANCEL);
}

void CCopyCheckDlg::EnableSettings(bool enable) {
    for (int id : kSettingIds)
        GetDlgItem(id).EnableWindow(enable);
    if (enable)
        OnClickKeepLog();
}

void CCopyCheckDlg::OnTick() {
    bool ringChanged;
    std::array<int64_t, 2> meters;
    {
        std::lock_guard lock(m_stateLock);
        ringChanged = std::exchange(m_bRingChanged, false);
        meters = m_meters;
    }
    if (ringChanged)
        ShowResultLines();
    const int bars[] = {IDC_TOTAL_PROGRESS, IDC_FILE_PROGRESS};
    for (int k = 0; k < 2; ++k) {
        if (meters[k] < 0 || meters[k] == m_shownMeters[k])
            continue;
        m_shownMeters[k] = meters[k];
        GetDlgItem<CProgressCtrl>(bars[k]).SetPos(static_cast<unsigned>(meters[k]));
    }
}

void CCopyCheckDlg::OnCancel() {
    if (m_bRunning)
        ConfirmStop();
    else
        CDialog::OnCancel();
}

// The window closes once the closing lines and the log are written.
void CCopyCheckDlg::OnClose() {
    if (!m_bRunning)
        CDialog::OnCancel();
    else if (ConfirmStop())
        m_bCloseAfterRun = true;
}

// The session ends when this returns: the run is ended here, with its log.
void CCopyCheckDlg::OnEndSession() {
    RequestStop();
    OnRunEnded();
}

bool CCopyCheckDlg::ConfirmStop() {
    if (m_stop)
        return true;
    if (m_bAsking)
        return false;
    m_bAsking = true;
    bool yes = MessageBox("チェックを中断しますか？", "確認", MB_YESNO) == IDYES;
    m_bAsking = false;
    // The run may have ended by itself while the box was open.
    if (!yes || !m_bRunning)
        return false;
    RequestStop();
    return true;
}

void CCopyCheckDlg::RequestStop() {
    if (!m_bRunning || m_stop.exchange(true))
        return;
    m_strCaption = GetDlgItemText(0);
    SetDlgItemText(0, m_strCaption + " - 中断しています...");
}

engine::Settings CCopyCheckDlg::CheckSettings() {
    engine::Settings settings;
    settings.source = m_strSrcPath;
    settings.copies = {m_strDstPath};
    settings.blockBytes = size_t{m_nBlockKB} * 1024;
    settings.differenceLimit = m_nDiffLimit;
    settings.namesOnly = m_bNamesOnly != 0;
    settings.cached = m_bCached;
    settings.readAhead = m_bReadAhead;
    settings.keepLog = m_bKeepLog != 0;
    settings.logPath = m_strLogPath;
    settings.stop = &m_stop;
    settings.allocate = m_allocate;
    return settings;
}

// Opens the log unless it would lie in either tree, where it would be checked, or replace
// or add a file the check is about.
void CCopyCheckDlg::OpenLog() {
    if (m_fpLog.Open(*m_fs, m_strLogPath, {m_strSrcPath, m_strDstPath}))
        return;
    m_lastRun.logFailed = true;
    MessageBox(CheckLog::kOpenFailed, "Notice", MB_OK);
    m_fpLog.TellMisplaced(*this);
}

void CCopyCheckDlg::CloseLog() {
    if (!m_fpLog.Close(*this))
        m_lastRun.logFailed = true;
}

void CCopyCheckDlg::HeaderDone() {
    m_fpLog.HeaderDone();
}

void CCopyCheckDlg::SetMeter(engine::Meter meter, uint64_t percent) {
    // A file that grew after it was listed can go far past its size; the bar shows it full.
    unsigned pos = percent > UINT_MAX ? UINT_MAX : static_cast<unsigned>(percent);
    std::lock_guard lock(m_stateLock);
    m_meters[meter == engine::Meter::kTotal ? 0 : 1] = pos;
}
