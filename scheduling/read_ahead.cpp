// Reads in flight: a few threads that open files and read blocks before they are asked for.
#include "scheduling/read_ahead.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <chrono>
#include <cstring>
#include <exception>
#include <iterator>
#include <system_error>
#include <utility>

#include "platform/medium.h"

namespace scheduling {

namespace {

// A file opened and read faster than this came from the cache, where the caller reads faster
// itself than by waking a thread and waiting for it: 100 us, and the bytes at 4 GB/s.
bool FromCache(std::chrono::steady_clock::duration took, size_t bytes) {
    return took < std::chrono::microseconds(100) + std::chrono::nanoseconds(bytes / 4);
}

size_t AlignUp(uint64_t n, size_t to) {
    return static_cast<size_t>((n + to - 1) / to * to);
}

}  // namespace

// What one read ahead holds: the bytes asked for, what came, and how it ended.
struct Chunk {
    platform::AlignedBuffer buf;
    size_t want = 0;
    size_t got = 0;
    bool ok = true;
    platform::Error error;
};

struct ReadAhead::Ahead {
    // Where a planned file is. Moved only under the stage's mutex, and only thus (Move):
    //   kPlanned          -> kPosted       StartPlanned: a job for the threads
    //   kPosted           -> kPlanned      StartPlanned: no thread could be started for it
    //   kPosted           -> kThreadReads  Fetch: a thread begins it
    //   kThreadReads      -> kReady        Fetch: opened and its first chunk read
    //   kPlanned, kPosted -> kCallerReads  Open: the caller came first and reads it itself
    //   any other but kCallerReads -> kDropped  Drop: nobody will open it
    // Its share of the budget goes back once the caller opened it (when the file read ahead is
    // closed), or when it is dropped: at once from kPlanned or kReady, else by its job.
    enum class Stage { kPlanned, kPosted, kThreadReads, kReady, kCallerReads, kDropped };
    Planned file;
    Stage stage = Stage::kPlanned;
    std::unique_ptr<platform::InputFile> opened;
    platform::Error openError;
    std::exception_ptr thrown;  // carried to the one who opens it
    Chunk first;

    void Move(Stage to) {
        assert(Allowed(stage, to));
        stage = to;
    }
    static constexpr bool Allowed(Stage from, Stage to) {
        switch (to) {
            case Stage::kPosted:
                return from == Stage::kPlanned;
            case Stage::kPlanned:
            case Stage::kThreadReads:
                return from == Stage::kPosted;
            case Stage::kReady:
                return from == Stage::kThreadReads;
            case Stage::kCallerReads:
                return from == Stage::kPlanned || from == Stage::kPosted;
            case Stage::kDropped:
                return from != Stage::kCallerReads && from != Stage::kDropped;
        }
        return false;
    }
};
using Stage = ReadAhead::Ahead::Stage;

// A file the caller opened itself through the cache because no thread had begun it: how
// long it took to open and give its first block tells whether files like it are in the cache.
class ReadAhead::Timed : public platform::InputFile {
public:
    Timed(ReadAhead& stage, std::unique_ptr<platform::InputFile> file,
          std::chrono::steady_clock::time_point start)
        : stage_(stage), file_(std::move(file)), start_(start) {}

    bool ReadThroughCache() const override { return file_->ReadThroughCache(); }
    bool NotLocal() const override { return file_->NotLocal(); }
    bool Identity(platform::FileIdentity& id) const override { return file_->Identity(id); }

    bool Read(void* buf, size_t n, size_t& got, platform::Error& error) override {
        bool ok = file_->Read(buf, n, got, error);
        if (!timed_) {
            timed_ = true;
            stage_.NoteCacheRead(!FromCache(std::chrono::steady_clock::now() - start_, got));
        }
        return ok;
    }

private:
    ReadAhead& stage_;
    std::unique_ptr<platform::InputFile> file_;
    std::chrono::steady_clock::time_point start_;
    bool timed_ = false;
};

// A file whose first chunk was read ahead: reads take from it first, then from the file.
class ReadAhead::File : public platform::InputFile {
public:
    File(ReadAhead& stage, std::unique_ptr<platform::InputFile> file, Chunk first)
        : stage_(stage), file_(std::move(file)), first_(std::move(first)) {}
    ~File() override { stage_.Release(first_.want); }

    bool ReadThroughCache() const override { return file_->ReadThroughCache(); }
    bool NotLocal() const override { return file_->NotLocal(); }
    bool Identity(platform::FileIdentity& id) const override { return file_->Identity(id); }

    bool Read(void* buf, size_t n, size_t& got, platform::Error& error) override {
        auto* out = static_cast<unsigned char*>(buf);
        got = std::min(n, first_.got - pos_);
        if (got != 0)
            std::memcpy(out, first_.buf.get() + pos_, got);
        pos_ += got;
        if (got < n && pos_ == first_.got && first_.want != 0 && !handedOut_) {
            // A chunk that failed fails the read that needs more of it, and a short one is
            // the end of the file.
            handedOut_ = true;
            if (!first_.ok) {
                error = first_.error;
                return false;
            }
            atEnd_ = first_.got < first_.want;
        }
        if (got == n || atEnd_)
            return true;
        size_t more = 0;
        bool ok = file_->Read(out + got, n - got, more, error);
        got += more;
        return ok;
    }

private:
    ReadAhead& stage_;
    std::unique_ptr<platform::InputFile> file_;
    Chunk first_;
    size_t pos_ = 0;
    bool handedOut_ = false;
    bool atEnd_ = false;
};

ReadAhead::ReadAhead(platform::FileSystem& fs, size_t block, size_t budget, unsigned threads)
    : fs_(fs), block_(block), budget_(budget), threadCount_(threads) {}

// Not before a file is handed to them: in a process with more than one thread every system
// call on a descriptor costs more, and a run over a warm cache hands them none.
bool ReadAhead::StartThreads() {
    try {
        while (threads_.size() < threadCount_)
            threads_.emplace_back(&ReadAhead::Work, this);
    } catch (const std::system_error&) {
        // A limit, little address space: as many as started, none if none was.
        threadCount_ = static_cast<unsigned>(threads_.size());
    }
    return !threads_.empty();
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        jobs_.clear();
        for (auto& ahead : planned_)
            Drop(*ahead);
    }
    work_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void ReadAhead::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        work_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        --idle_;
        if (jobs_.empty())
            return;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

// One slow file is as likely a moment the system spent elsewhere: files through the cache
// take the device's time after a few in a row, and no longer after one that did not.
void ReadAhead::NoteCacheRead(bool slow) {
    if (slow)
        ++slowInARow_;
    else
        slowInARow_ = 0;
}

bool ReadAhead::CacheSlow() const {
    constexpr unsigned kSlowInARow = 3;
    return slowInARow_ >= kSlowInARow;
}

void ReadAhead::Release(size_t bytes) {
    used_ -= bytes;
}

// Under the mutex. What it holds of the budget goes back now, or when its job ends.
void ReadAhead::Drop(Ahead& ahead) {
    if (ahead.stage == Stage::kPlanned || ahead.stage == Stage::kReady)
        used_ -= ahead.first.want;
    ahead.Move(Stage::kDropped);
}

void ReadAhead::Plan(std::vector<Planned> files) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& ahead : planned_)
            Drop(*ahead);
        planned_.clear();
        waiting_.assign(std::make_move_iterator(files.begin()),
                        std::make_move_iterator(files.end()));
    }
    StartPlanned();
}

// Planned in batches, from half the count up to all of it. A file read from the medium goes
// to the threads: the device answers several requests at once faster, however fast it is.
// One read through the cache goes to them only while such files take the device's time to
// read; while the cache answers, waking a thread for each file and waiting for it would take
// longer than the caller reading it itself.
void ReadAhead::StartPlanned() {
    size_t wake = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (planned_.size() <= kFilesAhead / 2)
            PlanMore();
        wake = std::min<size_t>(PostJobs(), idle_);
    }
    for (; wake > 0; --wake)
        work_.notify_one();
}

// Under the mutex: files from the waiting ones into the plan, as far as the budget allows.
void ReadAhead::PlanMore() {
    for (; !waiting_.empty() && planned_.size() < kFilesAhead; waiting_.pop_front()) {
        // Enough to find the end of a file as listed; the rest of a block comes later.
        size_t want =
            std::min(block_, AlignUp(waiting_.front().listedSize + 1, platform::kMinAlignment));
        if (used_ + want > budget_ && used_ != 0)
            break;
        used_ += want;
        auto ahead = std::make_shared<Ahead>();
        ahead->file = std::move(waiting_.front());
        ahead->first.want = want;
        planned_.push_back(ahead);
    }
}

// Under the mutex: a job for each planned file worth a thread; how many were posted.
size_t ReadAhead::PostJobs() {
    size_t posted = 0;
    for (const auto& ahead : planned_) {
        if (ahead->stage != Stage::kPlanned || !(ahead->file.fromMedium || CacheSlow()) ||
            threadCount_ == 0)
            continue;
        ahead->Move(Stage::kPosted);
        jobs_.push_back([this, ahead] { Fetch(ahead); });
        ++posted;
    }
    if (posted != 0 && !StartThreads()) {
        // Nobody to take them: the caller opens each when it comes to it.
        jobs_.clear();
        for (const auto& ahead : planned_) {
            if (ahead->stage == Stage::kPosted)
                ahead->Move(Stage::kPlanned);
        }
        posted = 0;
    }
    return posted;
}

// A thread's job: the file, unless the caller came for it first and reads it itself.
void ReadAhead::Fetch(const std::shared_ptr<Ahead>& ahead) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (ahead->stage == Stage::kDropped)
            used_ -= ahead->first.want;  // given up before it began
        if (ahead->stage != Stage::kPosted)
            return;
        ahead->Move(Stage::kThreadReads);
    }
    bool slow = Read(*ahead);
    std::unique_ptr<platform::InputFile> closing;  // closed after the lock is let go
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ahead->file.fromMedium)
        NoteCacheRead(slow);
    if (ahead->stage == Stage::kDropped) {
        used_ -= ahead->first.want;
        closing = std::move(ahead->opened);
        return;
    }
    ahead->Move(Stage::kReady);
    if (awaited_ == ahead.get())
        done_.notify_one();
}

bool ReadAhead::Read(Ahead& ahead) {
    auto start = std::chrono::steady_clock::now();
    Chunk& first = ahead.first;
    try {
        ahead.opened = ahead.file.fromMedium
                           ? fs_.OpenReadFromMedium(ahead.file.path, ahead.openError)
                           : fs_.OpenRead(ahead.file.path, ahead.openError);
        if (!first.buf)
            first.buf = platform::AllocateAligned(first.want);
        if (ahead.opened && !first.buf) {
            first.ok = false;
            first.error = {12, "read", ahead.file.path};  // ENOMEM and ERROR_OUTOFMEMORY alike
        } else if (ahead.opened) {
            first.ok = ahead.opened->Read(first.buf.get(), first.want, first.got, first.error);
        }
    } catch (...) {
        ahead.thrown = std::current_exception();
    }
    return !FromCache(std::chrono::steady_clock::now() - start, first.got);
}

// Under the mutex: the planned file for path, out of the plan with the files before it, and
// whether the caller reads it itself; null when it was not planned.
std::shared_ptr<ReadAhead::Ahead> ReadAhead::Take(const std::string& path, bool fromMedium,
                                                  std::unique_lock<std::mutex>& lock,
                                                  bool& readHere) {
    auto same = [&](const Planned& p) { return p.path == path && p.fromMedium == fromMedium; };
    auto it = std::find_if(planned_.begin(), planned_.end(),
                           [&](const auto& a) { return same(a->file); });
    if (it == planned_.end()) {
        // A file never planned (a large one among small ones) leaves the plan as it was;
        // files planned before one that is opened are not wanted any more.
        auto wait = std::find_if(waiting_.begin(), waiting_.end(), same);
        readHere = wait != waiting_.end();
        if (readHere) {
            for (auto& ahead : planned_)
                Drop(*ahead);
            planned_.clear();
            waiting_.erase(waiting_.begin(), wait + 1);
        }
        return nullptr;
    }
    std::shared_ptr<Ahead> ahead = *it;
    for (auto drop = planned_.begin(); drop != it; ++drop)
        Drop(**drop);
    planned_.erase(planned_.begin(), it + 1);
    // Not begun yet: read here rather than wait for a thread to wake up for it.
    readHere = ahead->stage == Stage::kPlanned || ahead->stage == Stage::kPosted;
    if (readHere) {
        ahead->Move(Stage::kCallerReads);
        return ahead;
    }
    awaited_ = ahead.get();
    done_.wait(lock, [&] { return ahead->stage == Stage::kReady; });
    awaited_ = nullptr;
    return ahead;
}

std::unique_ptr<platform::InputFile> ReadAhead::Open(const std::string& path, bool fromMedium,
                                                     platform::Error& error) {
    std::shared_ptr<Ahead> ahead;
    bool readHere = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ahead = Take(path, fromMedium, lock, readHere);
    }
    StartPlanned();
    if (readHere || !ahead) {
        // Read straight into the caller's buffer: no chunk to fill and copy out.
        if (ahead)
            Release(ahead->first.want);
        if (fromMedium || !readHere)
            return fromMedium ? fs_.OpenReadFromMedium(path, error) : fs_.OpenRead(path, error);
        auto start = std::chrono::steady_clock::now();
        std::unique_ptr<platform::InputFile> file = fs_.OpenRead(path, error);
        return file ? std::make_unique<Timed>(*this, std::move(file), start) : nullptr;
    }
    if (ahead->thrown)
        std::rethrow_exception(ahead->thrown);
    if (!ahead->opened) {
        error = ahead->openError;
        Release(ahead->first.want);
        return nullptr;
    }
    return std::make_unique<File>(*this, std::move(ahead->opened), std::move(ahead->first));
}

}  // namespace scheduling
