// The check of a copy against its source, without a window: the header lines, the size scan,
// the walk that compares every file, and the closing lines, told to a listener as they come.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/fs.h"
#include "platform/medium.h"
#include "platform/sha256.h"
#include "scheduling/hash_behind.h"
#include "scheduling/read_ahead.h"

namespace engine {

// How a check gets its buffers: null when memory is short, never an exception. Aligned to
// platform::kMinAlignment, so that uncached reads go straight into them.
using Allocator = platform::AlignedBuffer (*)(size_t bytes);
platform::AlignedBuffer AllocateBuffer(size_t bytes);

struct Settings {
    std::string source, destination;
    size_t blockBytes = 0;  // what one comparison reads of each side
    unsigned differenceLimit = 1;
    bool namesOnly = false;
    bool cached = false;    // the copy is read through the system's cache, as the source is
    bool readAhead = true;  // files read, and directories listed, before they are needed
    bool digests = false;   // files that compare equal are hashed for Listener::Verified
    bool keepLog = false;   // for the header: whether the front end keeps a log,
    std::string logPath;    // and where
    const std::atomic<bool>* stop = nullptr;  // raised, the check stops at the next file or block
    Allocator allocate = AllocateBuffer;
};

// Where a path stands in a result line: [offset, offset + length).
struct PathSpan {
    size_t offset = 0;
    size_t length = 0;
};
// What a line is, for front ends that show some lines differently.
enum class LineKind { kOther, kDirectory, kFile };
struct LineInfo {
    std::vector<PathSpan> paths;
    LineKind kind = LineKind::kOther;
};

enum class Meter { kTotal, kFile };

struct WalkLevel;  // a directory on the path being walked

// Told what a check does, on the thread that runs it.
class Listener {
public:
    virtual ~Listener() = default;
    virtual void Line(const std::string& text, const LineInfo& info) = 0;
    // The header is complete and the size scan begins: a check cut short from here on keeps
    // at least what it set out to do if the front end writes its log out now.
    virtual void HeaderDone() {}
    // A meter moved to percent; past 100 when a file grew after it was listed.
    virtual void SetMeter(Meter, uint64_t /*percent*/) {}
    // A file that compared equal, by its path below the source's root, and the SHA-256 of the
    // bytes compared, or null when the system's hash failed. Only with Settings::digests.
    virtual void Verified(const std::string& /*relative*/, const platform::Sha256::Digest*) {}
    // Now and then while the check works, so that a window can repaint.
    virtual void Pulse() {}
};

struct Outcome {
    bool walked = false;             // the trees were walked and compared
    bool namesOnlyFallback = false;  // the buffers could not be had: names only
    bool interrupted = false;        // a stop request or a failure ended it early
    uint64_t differences = 0;
};

// done of total in whole percent; past 100 when done is past total.
uint64_t CalcPercent(uint64_t done, uint64_t total);

// A span of seconds as "HH時MM分SS秒", its hours within a day: a run of a day and more shows
// only the hours beyond whole days.
std::string SpanText(int64_t seconds);

class Check {
public:
    Check(Settings settings, platform::FileSystem& fs, Listener& listener);
    ~Check();
    Check(const Check&) = delete;
    Check& operator=(const Check&) = delete;

    // From the buffers to the last counts line; on any thread, which the file system's pulse
    // is given to while it runs.
    Outcome Run();

private:
    // A root of the trees being walked, as shown and as the file system is asked for it;
    // every path below it is one of these and names exactly as listed.
    struct Root {
        std::string shown, io;
    };
    // check.cpp
    void TakeBuffers();
    bool CheckTrees();
    void AddHeader();
    bool SameDirectory(const std::string& a, const std::string& b);
    void Close(bool walked, bool failed);
    void AddNotices();
    void Release();
    void Add(const std::string& text);
    void AddPath(const std::string& before, const std::string& path, const std::string& after,
                 LineKind kind = LineKind::kOther);
    bool StopRequested() const { return settings_.stop && settings_.stop->load(); }
    bool LimitReached() const { return differences_ >= settings_.differenceLimit; }

    // walk.cpp
    void ScanTotalSize(std::string dir);
    void Walk(std::string srcDir, std::string dstDir);
    void Enter(std::vector<WalkLevel>& levels, WalkLevel level, bool root, std::string& srcDir,
               std::string& dstDir);
    void StartReads();
    void StopReads();
    void WalkDirectory(std::vector<WalkLevel>& levels, const platform::DirEntry& entry,
                       std::string& srcDir, std::string& dstDir);
    size_t PlanReads(const std::vector<platform::DirEntry>& entries, size_t from,
                     const std::string& srcDir, const std::string& dstDir);
    static Root RootOf(std::string dir);
    std::string Io(const std::string& shown) const;
    bool SameEntry(const std::string& a, const std::string& b);
    void FindCopyRoot(const std::string& dstDir);
    bool IsCopyRoot(const platform::DirEntry& entry, const std::string& io);
    void KeepListing(const std::string& dir, std::vector<platform::DirEntry>& entries);
    void DropKeptListings();

    // compare.cpp
    void CompareFile(const std::string& srcDir, const std::string& dstDir,
                     const platform::DirEntry& entry);
    void CompareByName(const std::string& srcPath, const std::string& dstPath, uint64_t size);
    bool CompareContents(std::unique_ptr<platform::InputFile>& src,
                         std::unique_ptr<platform::InputFile>& dst, const std::string& srcPath,
                         const std::string& dstPath, uint64_t total);
    void Finding(const std::string& before, const std::string& path, const std::string& after,
                 uint64_t size);
    void SkipRestOfFile(uint64_t& done, uint64_t total);
    std::unique_ptr<platform::InputFile> OpenFile(const std::string& path, bool fromMedium,
                                                  platform::Error& error);

    // progress.cpp
    void StepTotal(uint64_t n);
    void SetMeter(Meter meter, uint64_t percent) { listener_.SetMeter(meter, percent); }

    Settings settings_;
    platform::FileSystem& fs_;
    Listener& listener_;
    Outcome outcome_;
    platform::AlignedBuffer srcBuffer_, dstBuffer_;
    std::vector<platform::AlignedBuffer> srcRing_;  // the source's buffers after srcBuffer_
    int64_t startSeconds_ = 0;
    uint64_t dirs_ = 0, files_ = 0, differences_ = 0;
    uint64_t totalBytes_ = 0, doneBytes_ = 0;
    bool readThroughCache_ = false;  // some of the copy was read through the cache
    bool copyRemote_ = false;        // the copy lies on a network volume
    bool readRemote_ = false;        // and some of it was read
    bool fetched_ = false;           // some file compared was held elsewhere and fetched
    Root srcRoot_, dstRoot_;
    std::string copyIo_;  // the copy's root, and its identity when it has one
    platform::FileId copyId_;
    bool copyIdKnown_ = false;
    // Listings of the size scan kept for the walk, by directory, up to kKeptListings bytes: a
    // directory is then listed once a check. The walk takes each as it enters its directory.
    static constexpr size_t kKeptListings = size_t{4} << 20;
    std::unordered_map<std::string, std::vector<platform::DirEntry>> scanned_;
    size_t scannedBytes_ = 0;
    std::unique_ptr<scheduling::ReadAhead> stage_;  // during a walk that compares contents
    std::unique_ptr<scheduling::HashBehind> hash_;  // during one that hashes for the listener
};

}  // namespace engine
