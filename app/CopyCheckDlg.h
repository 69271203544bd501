// The main window: the settings of a check, the state of a run, and the operations of the
// run, the output and the comparison engine.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/ddx.h"
#include "framework/time.h"
#include "framework/window.h"
#include "platform/fs.h"
#include "platform/medium.h"
#include "platform/sha256.h"
#include "res/resource.h"
#include "run/log.h"
#include "scheduling/hash_behind.h"
#include "scheduling/read_ahead.h"

class CCopyCheckDlg : public fw::CDialog {
public:
    explicit CCopyCheckDlg(fw::CWnd* pParent = nullptr);

    // Output: one entry in the result window and, while a run's log is open, one log line.
    void AddResult(const std::string& text);
    // The same, for a line that names a path: before + path + after. Listeners learn where
    // the path stands, so that a front end can show it escaped.
    // What a line is, for front ends that show some lines differently.
    enum class LineKind { kOther, kDirectory, kFile };
    void AddPathResult(const std::string& before, const std::string& path, const std::string& after,
                       LineKind kind = LineKind::kOther);

    // Comparison engine.
    static uint64_t CalcPercent(uint64_t done, uint64_t total);
    void StepTotalProgress(uint64_t n);
    void CheckTotalSize(std::string dir);
    void CheckDirectory(std::string srcDir, std::string dstDir);
    void CompareFile(const std::string& srcDir, const std::string& dstDir,
                     const platform::DirEntry& entry);

    // Where files and listings come from; tests put a fake in its place.
    void SetFileSystem(platform::FileSystem& fs) { m_fs = &fs; }
    // Where a path stands in a result line: [offset, offset + length).
    struct PathSpan {
        size_t offset = 0;
        size_t length = 0;
    };
    struct LineInfo {
        std::vector<PathSpan> paths;
        LineKind kind = LineKind::kOther;
    };
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
    struct RunOutcome {
        bool walked = false;             // the trees were walked and compared
        bool namesOnlyFallback = false;  // the buffers could not be had: names only
        bool interrupted = false;        // a stop request or a failure ended it early
        bool logFailed = false;          // the log asked for could not be opened or written
        uint64_t differences = 0;
    };
    const RunOutcome& LastRun() const { return m_lastRun; }
    // A flag another thread or a signal handler may raise: the run then stops at the next
    // file or block and writes its closing lines.
    void SetStopFlag(const std::atomic<bool>* stop) { m_pStop = stop; }
    // How a run gets its two buffers: null when memory is short, never an exception. Aligned
    // to platform::kMinAlignment, so that uncached reads go straight into them.
    using Allocator = platform::AlignedBuffer (*)(size_t bytes);
    void SetAllocator(Allocator allocate) { m_allocate = allocate; }

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
    bool CheckTrees();
    void OpenLog();
    bool SameDirectory(const std::string& a, const std::string& b);
    void CloseRun(bool walked, bool failed);
    void AddLine(const std::string& text, const LineInfo& info);
    void KeepListing(const std::string& dir, std::vector<platform::DirEntry>& entries);
    void DropKeptListings();
    // A root of the trees being walked, as shown and as the file system is asked for it;
    // every path below it is one of these and names exactly as listed.
    struct Root {
        std::string shown, io;
    };
    static Root RootOf(std::string dir);
    std::string Io(const std::string& shown) const;
    bool StopRequested() const { return m_pStop && m_pStop->load(); }
    bool SameEntry(const std::string& a, const std::string& b);
    void FindCopyRoot(const std::string& dstDir);
    bool IsCopyRoot(const platform::DirEntry& entry, const std::string& io);
    void SetProgress(int id, uint64_t percent);
    void SkipRestOfFile(uint64_t& done, uint64_t total);
    std::unique_ptr<platform::InputFile> OpenFile(const std::string& path, bool fromMedium,
                                                  platform::Error& error);
    size_t PlanReads(const std::vector<platform::DirEntry>& entries, size_t from,
                     const std::string& srcDir, const std::string& dstDir);
    void ShowResultLines();
    // During a run: shows the result window and lets the window repaint, at most every
    // 100 ms, so a long run neither freezes the window nor rebuilds it for every line.
    void KeepWindowAlive();

public:
    fw::CTimeSpan m_spanElapsed;
    fw::CTime m_timeEnd;
    fw::CTime m_timeStart;
    platform::AlignedBuffer m_pDstBuf;
    platform::AlignedBuffer m_pSrcBuf;
    uint64_t m_nDoneBytes = 0;
    uint64_t m_nTotalBytes = 0;
    bool m_bLogOpen = false;
    CLogFile m_fpLog;
    uint64_t m_nDiffCount = 0;
    uint64_t m_nDirCount = 0;
    uint64_t m_nFileCount = 0;
    int m_nNextLine = 0;  // the slot the next entry goes to; the oldest once all are written
    std::array<std::string, 32> m_strResultLines;  // "\r\n" + text, or empty if never written
    std::string m_strSrcPath;
    std::string m_strDstPath;
    std::string m_strResult;
    unsigned m_nDiffLimit = 0;
    unsigned m_nBlockKB = 0;
    int m_bKeepLog = 0;
    int m_bNamesOnly = 0;
    bool m_bCached = false;    // the copy is read through the system's cache, as the source is
    bool m_bReadAhead = true;  // files read, and directories listed, before they are needed
    std::string m_strLogPath;
    fw::Icon m_hIcon = nullptr;

private:
    platform::FileSystem* m_fs;
    Allocator m_allocate;
    ResultListener m_onResult;
    VerifiedListener m_onVerified;
    RunOutcome m_lastRun;
    const std::atomic<bool>* m_pStop = nullptr;
    bool m_bRunning = false;           // between the confirmation and the last line of a run
    bool m_bReadThroughCache = false;  // some of the run's copy was read through the cache
    bool m_bCopyRemote = false;        // the copy lies on a network volume
    bool m_bReadRemote = false;        // and some of it was read
    bool m_bFetched = false;           // some file compared was held elsewhere and fetched
    Root m_srcRoot, m_dstRoot;
    std::string m_copyIo;  // the copy's root, and its identity when it has one
    platform::FileId m_copyId;
    bool m_bCopyIdKnown = false;
    // Listings of the size scan kept for the walk, by directory, up to kKeptListings bytes: a
    // directory is then listed once a run. The walk takes each as it enters its directory.
    static constexpr size_t kKeptListings = size_t{4} << 20;
    std::unordered_map<std::string, std::vector<platform::DirEntry>> m_scanned;
    size_t m_nScannedBytes = 0;
    std::unique_ptr<scheduling::ReadAhead> m_stage;  // during a walk that compares contents
    std::vector<platform::AlignedBuffer> m_srcRing;  // the source's buffers after m_pSrcBuf
    std::unique_ptr<scheduling::HashBehind> m_hash;  // during one that has a listener for hashes
    int64_t m_nLastShownMs = 0;                      // when the running window was last shown
    int64_t m_nLastFlushMs = 0;                      // when the log's buffer was last written out
};
