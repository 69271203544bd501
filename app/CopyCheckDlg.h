// The main window: the settings of a check, its result lines, its log and its meters; the
// check itself is an engine::Check the window listens to.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "engine/check.h"
#include "framework/ddx.h"
#include "framework/window.h"
#include "platform/fs.h"
#include "res/resource.h"
#include "log/log.h"

class CCopyCheckDlg : public fw::CDialog, private engine::Listener {
public:
    explicit CCopyCheckDlg(fw::CWnd* pParent = nullptr);
    ~CCopyCheckDlg() override;

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
    // Told of every result line as it is added: during a run, on the check's thread.
    void SetResultListener(ResultListener listener) { m_onResult = std::move(listener); }

    // What the last confirmed run did.
    struct RunOutcome : engine::Outcome {
        bool logFailed = false;  // the log asked for could not be opened or written
    };
    const RunOutcome& LastRun() const { return m_lastRun; }
    void SetAllocator(engine::Allocator allocate) { m_allocate = allocate; }
    // Whether the copy is read through the system's cache, as the source is.
    void SetCached(bool cached) { m_bCached = cached; }
    // Whether files are read, and directories listed, before they are needed.
    void SetReadAhead(bool readAhead) { m_bReadAhead = readAhead; }

    bool OnWndEvent(const fw::Event& event, fw::EventReply& reply) override;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnOK() override;
    // During a run: asks whether to stop it. Otherwise closes the window.
    void OnCancel() override;
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
    engine::Settings CheckSettings();
    void AddLine(const std::string& text, const LineInfo& info);
    void ShowResultLines();
    void EnableSettings(bool enable);
    bool OnWndEventRun(const fw::Event& event);
    // The check's thread: the check, then the log's end; then it tells the window.
    void RunCheck(engine::Settings settings);
    // The window's thread: shows the check's latest state, at the display's pace.
    void OnTick();
    void OnRunEnded();
    void OnClose();
    void OnQueryEndSession() { RequestStop(); }
    void OnEndSession();
    // Asks once; true when the run is to stop.
    bool ConfirmStop();
    void RequestStop();

    // What the check tells the window, on the check's thread.
    void Line(const std::string& text, const LineInfo& info) override { AddLine(text, info); }
    void HeaderDone() override;
    void SetMeter(engine::Meter meter, uint64_t percent) override;
    // A run that is cut short keeps its log up to its last second.
    void Pulse() override { m_fpLog.Pulse(); }

public:
    CheckLog m_fpLog;
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
    RunOutcome m_lastRun;
    bool m_bCached = false;
    bool m_bReadAhead = true;
    // Set on the window's thread only, before the check's thread starts and after it ends.
    bool m_bRunning = false;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    bool m_bAsking = false;         // a box asks whether to stop
    bool m_bCloseAfterRun = false;  // the close box's stop was confirmed
    std::string m_strCaption;       // the window's own, while it says it is stopping

    // What the check leaves for the window: the ring, m_nNextLine and these.
    std::mutex m_stateLock;
    bool m_bRingChanged = false;
    std::array<int64_t, 2> m_meters{-1, -1};  // total and file; -1 when not set in this run
    std::array<int64_t, 2> m_shownMeters{-1, -1};
};
