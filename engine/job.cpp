// The reading of a file block by block into the ring, findings, and the closing lines.
#include "engine/job.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"

namespace engine {

namespace {

const char kSeparatorLine[] = "-------------------------------------------";

// "H時M分S秒", each number of two digits.
std::string HoursMinutesSeconds(int64_t h, int64_t m, int64_t s) {
    // Appended, where "0" + number trips a false warning of GCC 12.
    auto two = [](int64_t v) {
        std::string digits(v < 10 ? 1 : 0, '0');
        return digits += std::to_string(v);
    };
    return two(h) + "時" + two(m) + "分" + two(s) + "秒";
}

}  // namespace

size_t FirstDifference(const unsigned char* a, const unsigned char* b, size_t n) {
    // memcmp narrows it to a chunk, so the byte loop runs over one chunk at most.
    constexpr size_t kChunk = 4096;
    size_t start = 0;
    while (n - start > kChunk && std::memcmp(a + start, b + start, kChunk) == 0)
        start += kChunk;
    return static_cast<size_t>(std::mismatch(a + start, a + n, b + start).first - a);
}

std::string SpanText(int64_t seconds) {
    return HoursMinutesSeconds(seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
}

Verdict VerdictOf(const Outcome& outcome, uint64_t differences) {
    if (!outcome.walked || (outcome.interrupted && differences == 0))
        return Verdict::kNotCompared;
    return differences == 0 ? Verdict::kSame : Verdict::kDifferent;
}

platform::AlignedBuffer AllocateBuffer(size_t bytes) {
    return platform::AllocateAligned(bytes);
}

Job::Job(platform::FileSystem& fs, Listener& listener, size_t blockBytes,
         const std::atomic<bool>* stop, Allocator allocate, bool tree)
    : fs_(fs),
      listener_(listener),
      blockBytes_(blockBytes),
      stop_(stop),
      allocate_(allocate),
      tree_(tree) {}

Job::~Job() = default;

bool Job::TakeFirstBuffer() {
    platform::AlignedBuffer buffer = allocate_(blockBytes_);
    if (buffer)
        ring_.push_back(std::move(buffer));
    return !ring_.empty();
}

// As many buffers as the hasher can be behind by, as memory allows; whether there is one.
bool Job::FillRing() {
    while (ring_.size() < 1 + scheduling::HashBehind::DepthFor(blockBytes_)) {
        platform::AlignedBuffer buffer = allocate_(blockBytes_);
        if (!buffer)
            break;
        ring_.push_back(std::move(buffer));
    }
    if (ring_.empty())
        return false;
    hash_ = std::make_unique<scheduling::HashBehind>(ring_.size() - 1);
    return true;
}

void Job::DropRing() {
    hash_.reset();  // it may still be reading the ring
    if (ring_.size() > 1)
        ring_.erase(ring_.begin() + 1, ring_.end());
}

// Through the reads in flight when there are any: the file may be open and read already.
std::unique_ptr<platform::InputFile> Job::OpenFile(const std::string& path, bool fromMedium,
                                                   platform::Error& error) {
    if (stage_)
        return stage_->Open(path, fromMedium, error);
    return fromMedium ? fs_.OpenReadFromMedium(path, error) : fs_.OpenRead(path, error);
}

// Block by block to a short block, a stop, or the first block after which onBlock reads no more.
Job::End Job::ReadBlocks(platform::InputFile& file, uint64_t total, uint64_t& done,
                         const OnBlock& onBlock, const Beside& beside) {
    SetMeter(Meter::kFile, CalcPercent(done, total));
    if (hash_)
        hash_->Reset();
    End end = End::kEnd;
    for (size_t turn = 0;; turn = (turn + 1) % ring_.size()) {
        listener_.Pulse();  // a long file must not freeze the window
        // Stopped mid-file: nothing more of it is read, and nothing found.
        if (StopRequested()) {
            end = End::kStopped;
            break;
        }
        size_t length = 0;
        platform::Error error;
        // The buffers in turn: the last ones may still be being hashed.
        unsigned char* buffer = ring_[turn].get();
        bool read = false;
        auto readBlock = [&] { read = file.Read(buffer, blockBytes_, length, error); };
        if (beside)
            beside(readBlock);
        else
            readBlock();
        // Hashed while the next blocks are read: the very bytes compared, read once.
        if (hash_ && read)
            hash_->Add(buffer, length);
        Step step = onBlock(read, buffer, length);
        if (step.more)
            SetMeter(Meter::kFile, CalcPercent(done, total));
        done += step.done;
        doneBytes_ += step.done;
        if (!step.more) {
            end = End::kCut;
            break;
        }
        if (length < blockBytes_)
            break;  // a short block is the end of the file
    }
    SetMeter(Meter::kFile, CalcPercent(done, total));
    return end;
}

// A finding before a byte is compared: the file's listed size is done with.
void Job::Finding(const std::string& before, const std::string& path, const std::string& after,
                  uint64_t size, LineInfo info) {
    AddPath(before, path, after, std::move(info));
    ++differences_;
    StepTotal(size);
}

// Takes the rest of the listed size as done after a finding, so that every file adds exactly
// its listed size to the total unless it compares equal.
void Job::SkipRestOfFile(uint64_t& done, uint64_t total) {
    // A file that grew since it was listed can have more bytes compared than listed.
    uint64_t rest = total > done ? total - done : 0;
    done = total;
    SetMeter(Meter::kFile, CalcPercent(done, total));
    StepTotal(rest);
}

// The lines after the job: why it ended early if it did, the verdict, times and counts.
void Job::Close(bool walked, bool failed, bool interrupted, const char* noDifference,
                const std::vector<CopyCount>& copies) {
    outcome_.interrupted = interrupted;
    if (failed)
        Add("＜エラーのためチェックを中断しました＞");
    else if (interrupted)
        Add("＜チェックは中断されました＞");
    Add(kSeparatorLine);
    Add("チェック終了");
    AddNotices();

    outcome_.walked = walked;
    outcome_.differences = differences_;
    outcome_.copyDifferences = {differences_};
    auto verdict = [&](uint64_t differences) {
        switch (VerdictOf(outcome_, differences)) {
            case Verdict::kSame:
                return noDifference;
            case Verdict::kDifferent:
                return "差違が発見されました。";
            case Verdict::kNotCompared:
                break;
        }
        return "比較は実行されませんでした。";
    };
    if (copies.size() > 1) {
        outcome_.copyDifferences.clear();
        for (const CopyCount& copy : copies) {
            AddPath("コピー先パス：", copy.path, "");
            Add(verdict(copy.differences));
            Add("error:" + std::to_string(copy.differences));
            outcome_.copyDifferences.push_back(copy.differences);
        }
    } else {
        Add(verdict(differences_));
    }
    outcome_.dirs = dirs_;
    outcome_.files = files_;
    outcome_.totalBytes = totalBytes_;
    outcome_.readThroughCache = readThroughCache_;
    outcome_.readRemote = readRemote_;
    outcome_.fetched = fetched_;

    if (tree_) {
        int64_t end = platform::NowSeconds();
        Add("チェック終了時刻：" + TimeOfDay(end));
        int64_t taken = end < startSeconds_ ? startSeconds_ - end : end - startSeconds_;
        Add("所用時間：" + SpanText(taken));
    }
    Add("File total size：" + std::to_string(totalBytes_));
    Add((tree_ ? "dir:" + std::to_string(dirs_) + "  " : std::string()) +
        "file:" + std::to_string(files_) + "  error:" + std::to_string(differences_));
}

// What the verdict cannot say of how the copy was read.
void Job::AddNotices() {
    if (readThroughCache_)
        Add("Notice>コピー先の一部のファイルはOSのキャッシュを経由して読み込まれました");
    if (readRemote_)
        Add("Notice>コピー先はネットワーク経由で読み込まれたため、"
            "サーバーのキャッシュから読み込まれた可能性があります");
    if (fetched_)
        Add("Notice>一部のファイルはローカルディスクになく、読み込むために取得されました"
            "（取得できなかったファイルは読み込みの失敗として報告されます）");
}

void Job::Add(const std::string& text) {
    listener_.Line(text, {});
}

void Job::AddPath(const std::string& before, const std::string& path, const std::string& after,
                  LineInfo info) {
    info.paths = {{before.size(), path.size()}};
    listener_.Line(before + path + after, info);
}

LineInfo Job::Kind(LineKind kind) {
    LineInfo info;
    info.kind = kind;
    return info;
}

LineInfo Job::Found(FindingKind finding, size_t copy, bool counted) {
    LineInfo info;
    info.finding = finding;
    info.copy = copy;
    info.counted = counted;
    return info;
}

std::string Job::TimeOfDay(int64_t seconds) {
    platform::LocalTime t = platform::ToLocal(seconds);
    return HoursMinutesSeconds(t.hour, t.minute, t.second);
}

}  // namespace engine
