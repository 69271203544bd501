// The main window: the settings of a check, its result lines, its log and its meters; the
// check itself is an engine::Check the window listens to.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/check.h"
#include "framework/ddx.h"
#include "framework/window.h"
#include "platform/fs.h"
#include "platform/sha256.h"
#include "res/resource.h"
#include "run/log.h"

class CCopyCheckDlg : public fw::CDialog, private engine::Listener {
public:
    explicit CCopyCheckDlg(fw::CWnd* pParent = nullptr);

    using LineKind = engine::LineKind;
    using PathSpan = engine::PathSpan;
    using LineInfo = engine::LineInfo;
    // Output: one entry in the result window and, while a run's log is open, one log line.
    void AddResult(const std::string& text);
    // The same, for a line that names a path: before + path + after. Listeners learn where
    // the path stands, so that a front end can show it escaped.
    void AddPathResult(const std::string& before, const std::string& path, const std::string& after,
                       LineKind kind = LineKind::kOther);

    // Where files and listings come from; tests put a fake in its place.
    void SetFileSystem(platform::FileSystem& fs) { m_fs = &fs; }
    using ResultListener = std::function<void(const std::string& line, const LineInfo& info)>;
    // Told of every result line as it is added (the command line prints them).
    void SetResultListener(ResultListener listener) { m_onResult = std::move(listener); }

    using VerifiedListener =
        std::function<void(const std::string& relative, const platform::Sha256::Digest* digest)>;
    // Told of every file that compared equal, with its path below the source's root and the
    // SHA-256 of the bytes compared, or null when the system's hash failed. Files are hashed
    // only while there is a listener.
    void SetVerifiedListener(VerifiedListener listener) { m_onVerified = std::move(listener); }

    // What the last confirmed run did, for a front end that reports it by other means than
    // the lines (the command line's exit status).
    struct RunOutcome : engine::Outcome {
        bool logFailed = false;  // the log asked for could not be opened or written
    };
    const RunOutcome& LastRun() const { return m_lastRun; }
    // A flag another thread or a signal handler may raise: the run then stops at the next
    // file or block and writes its closing lines.
    void SetStopFlag(const std::atomic<bool>* stop) { m_pStop = stop; }
    void SetAllocator(engine::Allocator allocate) { m_allocate = allocate; }
    // Whether the copy is read through the system's cache, as the source is.
    void SetCached(bool cached) { m_bCached = cached; }
    // Whether files are read, and directories listed, before they are needed.
    void SetReadAhead(bool readAhead) { m_bReadAhead = readAhead; }
    // For the command line: entries only in the copy as findings (but the files the run
    // makes there), and no limit on the findings, whatever the field says.
    void SetExtras(bool extras, std::vector<std::string> ownFiles) {
        m_bExtras = extras;
        m_ownFiles = std::move(ownFiles);
    }
    void SetNoDifferenceLimit(bool none) { m_bNoDiffLimit = none; }

    bool OnWndEvent(const fw::Event& event, fw::EventReply& reply) override;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnVScroll(unsigned nSBCode, unsigned nPos, fw::CScrollBar* pScrollBar) override;

    void OnPaint();
    fw::Icon OnQueryDragIcon();
    void OnChangeSrcPath();
    void OnChangeDstPath();
    void OnChangeLogPath();
    void OnClickKeepLog();
    void OnClickNamesOnly();
    void OnKillFocusDiffLimit();
    void OnKillFocusBlockKB();
    void OnSrcBrowse();
    void OnDstBrowse();
    void OnLogBrowse();

private:
    // Reads a numeric field and corrects it into 1..upper, with the notice when it moved.
    void CorrectNumber(int id, unsigned& member, unsigned upper, const std::string& notice);
    void BrowseDirectory(int id);
    void OpenLog();
    void CloseLog();
    engine::Settings CheckSettings() const;
    void AddLine(const std::string& text, const LineInfo& info);
    void ShowResultLines();
    // During a run: shows the result window and lets the window repaint, at most every
    // 100 ms, so a long run neither freezes the window nor rebuilds it for every line.
    void KeepWindowAlive();

    // What the check tells the window.
    void Line(const std::string& text, const LineInfo& info) override { AddLine(text, info); }
    void HeaderDone() override;
    void SetMeter(engine::Meter meter, uint64_t percent) override;
    void Verified(const std::string& relative, const platform::Sha256::Digest* digest) override;
    void Pulse() override { KeepWindowAlive(); }

public:
    bool m_bLogOpen = false;
    CLogFile m_fpLog;
    int m_nNextLine = 0;  // the slot the next entry goes to; the oldest once all are written
    std::array<std::string, 32> m_strResultLines;  // "\r\n" + text, or empty if never written
    std::string m_strSrcPath;
    std::string m_strDstPath;
    std::string m_strResult;
    unsigned m_nDiffLimit = 0;
    unsigned m_nBlockKB = 0;
    int m_bKeepLog = 0;
    int m_bNamesOnly = 0;
    std::string m_strLogPath;
    fw::Icon m_hIcon = nullptr;

private:
    platform::FileSystem* m_fs;
    engine::Allocator m_allocate = engine::AllocateBuffer;
    ResultListener m_onResult;
    VerifiedListener m_onVerified;
    RunOutcome m_lastRun;
    const std::atomic<bool>* m_pStop = nullptr;
    bool m_bCached = false;
    bool m_bReadAhead = true;
    bool m_bExtras = false;
    std::vector<std::string> m_ownFiles;
    bool m_bNoDiffLimit = false;
    bool m_bRunning = false;     // between the confirmation and the last line of a run
    int64_t m_nLastShownMs = 0;  // when the running window was last shown
    int64_t m_nLastFlushMs = 0;  // when the log's buffer was last written out
};
