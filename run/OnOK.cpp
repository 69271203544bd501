// The check run: from the confirmation to the verdict, the times and the counts.
#include <chrono>

#include "app/CopyCheckDlg.h"
#include "platform/dirs.h"

using namespace fw;

namespace {

const char kSeparatorLine[] = "-------------------------------------------";

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string WithSeparator(std::string path) {
    if (path.empty() || path.back() != platform::kSeparator)
        path += platform::kSeparator;
    return path;
}

}  // namespace

void CCopyCheckDlg::OnOK() {
    m_nFileCount = 0;
    m_nDirCount = 0;
    m_nDiffCount = 0;
    m_nTotalBytes = 0;
    m_nDoneBytes = 0;
    m_bReadThroughCache = false;
    m_bReadRemote = false;
    m_bFetched = false;

    if (MessageBox("ファイルの比較を開始するんですね？", "確認", MB_OKCANCEL) == IDCANCEL)
        return;
    m_lastRun = {};
    m_bRunning = true;
    m_nLastShownMs = NowMs();
    m_nLastFlushMs = m_nLastShownMs;
    m_fs->SetPulse([this] { KeepWindowAlive(); });

    bool walked = false;
    bool failed = false;
    try {
        walked = CheckTrees();
    } catch (...) {
        failed = true;  // the closing lines must come all the same
    }
    try {
        CloseRun(walked, failed);
    } catch (...) {
        m_lastRun.interrupted = true;
    }
    m_stage.reset();
    m_hash.reset();  // it may still be reading the source's buffers
    m_srcRing.clear();
    DropKeptListings();
    m_pSrcBuf.reset();
    m_pDstBuf.reset();
    if (m_bLogOpen) {
        bool written = m_fpLog.Close();
        m_bLogOpen = false;
        m_lastRun.logFailed = m_lastRun.logFailed || !written;
        // Window only: the log is closed.
        if (!written)
            AddPathResult("Notice>ログファイルの書き込みに失敗しました：", m_strLogPath, "");
    }
    m_fs->SetPulse(nullptr);
    m_bRunning = false;
    ShowResultLines();
}

// From the log to the walk; whether the trees were walked.
bool CCopyCheckDlg::CheckTrees() {
    m_bLogOpen = false;
    if (m_bKeepLog)
        OpenLog();

    unsigned bufferKB = 0;
    if (!m_bNamesOnly) {
        size_t bytes = size_t{m_nBlockKB} * 1024;
        m_pSrcBuf = m_allocate(bytes);
        if (m_pSrcBuf) {
            m_pDstBuf = m_allocate(bytes);
            if (!m_pDstBuf)
                m_pSrcBuf.reset();
        }
        if (m_pSrcBuf) {
            bufferKB = m_nBlockKB;
        } else {
            AddResult("チェック用のバッファの確保ができませんでした");
            AddResult("名前のみのチェックに切り替えます");
            m_bNamesOnly = 1;
            m_lastRun.namesOnlyFallback = true;
            GetDlgItem<CButton>(IDC_NAMES_ONLY).SetCheck(BST_CHECKED);
        }
    }

    UpdateData(true);
    // The comparison reads blocks into the buffers: their size is the block size.
    if (bufferKB)
        m_nBlockKB = bufferKB;

    m_timeStart = CTime::GetCurrentTime();
    AddResult(m_timeStart.Format("チェック開始時刻：%H時%M分%S秒"));
    AddResult(kSeparatorLine);
    AddPathResult("コピー元パス：", m_strSrcPath, "");
    AddPathResult("コピー先パス：", m_strDstPath, "");
    if (m_bKeepLog)
        AddPathResult("結果ログファイルを作成します：", m_strLogPath, "");
    else
        AddResult("結果ログファイルは作成しません");
    if (m_bNamesOnly) {
        AddResult("ファイル名のみの比較を行います。");
    } else {
        AddResult("ファイル名と、ファイルの内容の比較を行います");
        AddResult("ファイルの比較は " + std::to_string(m_nBlockKB) + " KByteずつ行います");
    }
    AddResult("差違が " + std::to_string(m_nDiffLimit) + " 個発見されたら中断します");
    AddResult("以上の条件で比較を行います。");
    AddResult(kSeparatorLine);
    AddResult("コピー元のトータルサイズを取得中...");
    // A run that is cut short keeps at least what it set out to do.
    if (m_bLogOpen)
        m_fpLog.Flush();

    CheckTotalSize(m_strSrcPath);
    AddResult("トータルサイズ：" + std::to_string(m_nTotalBytes));
    AddResult("＜チェックを開始します＞");

    if (StopRequested())
        return false;  // stopped during the size scan: the walk is not begun
    if (SameDirectory(m_strSrcPath, m_strDstPath)) {
        AddResult("コピー元とコピー先のパスが同じです。");
        return false;
    }
    if (m_nTotalBytes == 0) {
        AddResult("ファイルが存在しないため、比較の必要がありません。");
        return false;
    }
    CheckDirectory(m_strSrcPath, m_strDstPath);
    return true;
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

// The same string, or another spelling of the same directory: the same identity and the
// same resolved path.
bool CCopyCheckDlg::SameDirectory(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    platform::FileId idA, idB;
    std::string pathA, pathB;
    platform::Error error;
    return m_fs->Identify(WithSeparator(a), idA, error) &&
           m_fs->Identify(WithSeparator(b), idB, error) && idA == idB &&
           m_fs->Resolve(WithSeparator(a), pathA, error) &&
           m_fs->Resolve(WithSeparator(b), pathB, error) && pathA == pathB;
}

// The lines after the walk: why it ended early if it did, the verdict, times and counts.
void CCopyCheckDlg::CloseRun(bool walked, bool failed) {
    m_lastRun.interrupted = failed || StopRequested();
    if (failed)
        AddResult("＜エラーのためチェックを中断しました＞");
    else if (m_lastRun.interrupted)
        AddResult("＜チェックは中断されました＞");
    AddResult(kSeparatorLine);
    AddResult("チェック終了");
    if (m_bReadThroughCache)
        AddResult("Notice>コピー先の一部のファイルはOSのキャッシュを経由して読み込まれました");
    if (m_bReadRemote)
        AddResult(
            "Notice>コピー先はネットワーク経由で読み込まれたため、"
            "サーバーのキャッシュから読み込まれた可能性があります");
    if (m_bFetched)
        AddResult(
            "Notice>一部のファイルはローカルディスクになく、読み込むために取得されました"
            "（取得できなかったファイルは読み込みの失敗として報告されます）");

    m_lastRun.walked = walked;
    m_lastRun.differences = m_nDiffCount;
    if (!walked || (m_lastRun.interrupted && m_nDiffCount == 0))
        AddResult("比較は実行されませんでした。");
    else if (m_nDiffCount == 0)
        AddResult("双方のパスの内容に差違はありませんでした。");
    else
        AddResult("差違が発見されました。");

    m_timeEnd = CTime::GetCurrentTime();
    AddResult(m_timeEnd.Format("チェック終了時刻：%H時%M分%S秒"));
    m_spanElapsed = m_timeEnd - m_timeStart;
    AddResult(m_spanElapsed.Format("所用時間：%H時%M分%S秒"));
    AddResult("File total size：" + std::to_string(m_nTotalBytes));
    AddResult("dir:" + std::to_string(m_nDirCount) + "  file:" + std::to_string(m_nFileCount) +
              "  error:" + std::to_string(m_nDiffCount));
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
