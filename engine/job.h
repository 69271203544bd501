// What a check and an audit share: files read block by block from their medium into a ring of
// buffers with the hash behind the reads, the stop checks, the meters and the closing lines.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/medium.h"
#include "platform/sha256.h"
#include "scheduling/hash_behind.h"
#include "scheduling/read_ahead.h"

namespace engine {

// How a job gets its buffers: null when memory is short, never an exception. Aligned to
// platform::kMinAlignment, so that uncached reads go straight into them.
using Allocator = platform::AlignedBuffer (*)(size_t bytes);
platform::AlignedBuffer AllocateBuffer(size_t bytes);

// Where a path stands in a result line: [offset, offset + length).
struct PathSpan {
    size_t offset = 0;
    size_t length = 0;
};
// What a line is, for front ends that show some lines differently.
enum class LineKind { kOther, kDirectory, kFile };
// What a finding line reports, for front ends that report findings apart from their text.
enum class FindingKind {
    kNone,                   // not a finding
    kMissing,                // not in the copy
    kSize,                   // the two sizes differ
    kContent,                // the bytes differ (an audit: the SHA-256 does)
    kReadError,              // a file there that could not be read, or not to the end
    kSourceUnopenable,       // a source file listed but not to be opened
    kUnreadableEntry,        // a source entry that could not be told what it is
    kInaccessibleDirectory,  // a directory that could not be listed
    kLoop,                   // a directory that is one of its ancestors: not entered
    kSameFile,               // the copy's file is the source's
    kSameDirectory,          // the copy's directory is the source's: not walked
    kExtra,                  // only in the copy
    kCopyInSource,           // the copy met inside the source: not walked
};
struct LineInfo {
    std::vector<PathSpan> paths;
    LineKind kind = LineKind::kOther;
    FindingKind finding = FindingKind::kNone;
    bool counted = false;  // the finding counts as a difference
    // The copy the finding is about, by its place in the check's copies; kSource for one
    // about the source, which counts once for each copy still being compared.
    static constexpr size_t kSource = static_cast<size_t>(-1);
    size_t copy = 0;
    std::optional<uint64_t> offset;  // of the first differing byte, for a content finding
};

enum class Meter { kTotal, kFile };

// Told what a job does, on the thread that runs it.
class Listener {
public:
    virtual ~Listener() = default;
    virtual void Line(const std::string& text, const LineInfo& info) = 0;
    // The header is complete and the size scan begins: a check cut short from here on keeps
    // at least what it set out to do if the front end writes its log out now.
    virtual void HeaderDone() {}
    // A meter moved to percent; past 100 when a file grew after it was listed.
    virtual void SetMeter(Meter, uint64_t /*percent*/) {}
    // A file that compared equal in a copy (its place in the check's copies), by its path
    // below the source's root, and the SHA-256 of the bytes compared, or null when the
    // system's hash failed. Only with Settings::digests.
    virtual void Verified(size_t /*copy*/, const std::string& /*relative*/,
                          const platform::Sha256::Digest*) {}
    // Now and then while the job works, so that a window can repaint.
    virtual void Pulse() {}
};

// Why a check did not walk its trees.
enum class NotWalked { kWalked, kStopped, kFailed, kSameDirectory, kSourceUnreadable, kNoFiles };

struct Outcome {
    bool walked = false;  // the trees were walked and compared
    NotWalked why = NotWalked::kWalked;
    bool namesOnlyFallback = false;         // the buffers could not be had: names only
    bool interrupted = false;               // a stop request or a failure ended it early
    uint64_t differences = 0;               // of all copies
    std::vector<uint64_t> copyDifferences;  // each copy's, in the order given
    uint64_t dirs = 0, files = 0, totalBytes = 0;
    bool readThroughCache = false;  // the notices of the closing lines
    bool readRemote = false;
    bool fetched = false;
};

// The index of the first byte where a and b differ; they are known to differ somewhere.
size_t FirstDifference(const unsigned char* a, const unsigned char* b, size_t n);

// What the closing lines say of a copy with these differences: a job cut short before any
// difference compared nothing that can be trusted.
enum class Verdict { kSame, kDifferent, kNotCompared };
Verdict VerdictOf(const Outcome& outcome, uint64_t differences);

// done of total in whole percent; past 100 when done is past total.
uint64_t CalcPercent(uint64_t done, uint64_t total);

// A span of seconds as "HH時MM分SS秒", its hours within a day: a run of a day and more shows
// only the hours beyond whole days.
std::string SpanText(int64_t seconds);

class Job {
protected:
    // A check works on a tree: its closing lines tell its times and count its directories.
    Job(platform::FileSystem& fs, Listener& listener, size_t blockBytes,
        const std::atomic<bool>* stop, Allocator allocate, bool tree);
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // job.cpp
    bool TakeFirstBuffer();
    bool FillRing();
    void DropRing();
    std::unique_ptr<platform::InputFile> OpenFile(const std::string& path, bool fromMedium,
                                                  platform::Error& error);
    // What a block read comes to: how many of its bytes count as done, and whether to read on.
    struct Step {
        size_t done = 0;
        bool more = true;
    };
    // Given each block as it is read: whether it was, its bytes and its length.
    using OnBlock = std::function<Step(bool read, const unsigned char* data, size_t length)>;
    // Given the read of each block, to run it beside others of its own (or only run it).
    using Beside = std::function<void(const std::function<void()>& readBlock)>;
    enum class End { kEnd, kCut, kStopped };
    End ReadBlocks(platform::InputFile& file, uint64_t total, uint64_t& done,
                   const OnBlock& onBlock, const Beside& beside = nullptr);
    void Finding(const std::string& before, const std::string& path, const std::string& after,
                 uint64_t size, LineInfo info);
    void SkipRestOfFile(uint64_t& done, uint64_t total);
    // A copy's own count, told apart in the closing lines when there are several.
    struct CopyCount {
        std::string path;
        uint64_t differences = 0;
    };
    void Close(bool walked, bool failed, bool interrupted, const char* noDifference,
               const std::vector<CopyCount>& copies = {});
    void Add(const std::string& text);
    void AddPath(const std::string& before, const std::string& path, const std::string& after,
                 LineInfo info = {});
    static LineInfo Kind(LineKind kind);
    static LineInfo Found(FindingKind finding, size_t copy, bool counted = true);
    bool StopRequested() const { return stop_ && stop_->load(); }
    static std::string TimeOfDay(int64_t seconds);

    // progress.cpp
    void StepTotal(uint64_t n);
    void SetMeter(Meter meter, uint64_t percent) { listener_.SetMeter(meter, percent); }

    platform::FileSystem& fs_;
    Listener& listener_;
    const size_t blockBytes_;
    Outcome outcome_;
    // The buffers one file is read into in turn, so that reading need not wait for the hash
    // of the block before; the first is kept from one file to the next.
    std::vector<platform::AlignedBuffer> ring_;
    int64_t startSeconds_ = 0;
    uint64_t dirs_ = 0, files_ = 0, differences_ = 0;
    uint64_t totalBytes_ = 0, doneBytes_ = 0;
    bool readThroughCache_ = false;  // some of the copy was read through the cache
    bool readRemote_ = false;        // some of a copy on a network volume was read
    bool fetched_ = false;           // some file compared was held elsewhere and fetched
    std::unique_ptr<scheduling::ReadAhead> stage_;  // during a walk that reads contents
    std::unique_ptr<scheduling::HashBehind> hash_;  // while the ring is hashed behind

private:
    void AddNotices();

    const std::atomic<bool>* stop_;  // raised, the job stops at the next file or block
    const Allocator allocate_;
    const bool tree_;
};

}  // namespace engine
