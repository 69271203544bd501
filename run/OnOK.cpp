// The check run: from the confirmation to the verdict, the times and the counts.
#include <chrono>

#include "app/CopyCheckDlg.h"

using namespace fw;

namespace {

const char kSeparatorLine[] = "-------------------------------------------";

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void CCopyCheckDlg::OnOK() {
    m_nFileCount = 0;
    m_nDirCount = 0;
    m_nDiffCount = 0;
    m_nTotalBytes = 0;
    m_nDoneBytes = 0;
    m_bReadThroughCache = false;

    if (MessageBox("ファイルの比較を開始するんですね？", "確認", MB_OKCANCEL) == IDCANCEL)
        return;
    m_lastRun = {};
    m_bRunning = true;
    m_nLastShownMs = NowMs();

    m_bLogOpen = false;
    if (m_bKeepLog) {
        m_bLogOpen = m_fpLog.Open(*m_fs, m_strLogPath);
        if (!m_bLogOpen) {
            m_lastRun.logFailed = true;
            MessageBox("ログファイルのオープンに失敗しました。", "Notice", MB_OK);
        }
    }

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

    CheckTotalSize(m_strSrcPath);
    AddResult("トータルサイズ：" + std::to_string(m_nTotalBytes));
    AddResult("＜チェックを開始します＞");

    bool walked = false;
    if (StopRequested()) {
        // Stopped during the size scan: the walk is not begun.
    } else if (m_strSrcPath == m_strDstPath) {
        AddResult("コピー元とコピー先のパスが同じです。");
    } else if (m_nTotalBytes == 0) {
        AddResult("ファイルが存在しないため、比較の必要がありません。");
    } else {
        CheckDirectory(m_strSrcPath, m_strDstPath);
        walked = true;
    }

    m_lastRun.interrupted = StopRequested();
    if (m_lastRun.interrupted)
        AddResult("＜チェックは中断されました＞");
    AddResult(kSeparatorLine);
    AddResult("チェック終了");
    if (m_bReadThroughCache)
        AddResult("Notice>コピー先の一部のファイルはOSのキャッシュを経由して読み込まれました");
    m_pSrcBuf.reset();
    m_pDstBuf.reset();
    m_dstReader.reset();

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

    if (m_bLogOpen) {
        bool written = m_fpLog.Close();
        m_bLogOpen = false;
        m_lastRun.logFailed = !written;
        // Window only: the log is closed.
        if (!written)
            AddPathResult("Notice>ログファイルの書き込みに失敗しました：", m_strLogPath, "");
    }
    m_lastRun.walked = walked;
    m_lastRun.differences = m_nDiffCount;
    m_bRunning = false;
    ShowResultLines();
}

void CCopyCheckDlg::KeepWindowAlive() {
    int64_t now = NowMs();
    if (now - m_nLastShownMs < 100)
        return;
    m_nLastShownMs = now;
    ShowResultLines();
    LetPaintThrough();
}
