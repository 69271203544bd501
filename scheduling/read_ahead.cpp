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

// A plan of fewer files than this through a cache that answers is not worth sharing, nor a
// file read ahead into a chunk larger than this.
constexpr size_t kSecondFrom = 8;
constexpr size_t kSecondLargest = size_t{64} << 10;

// How often the caller looks at a file the second reader is reading before it lets others
// run, and how often the second reader looks for more files before it sleeps until woken.
constexpr unsigned kSpins = 20000;
constexpr unsigned kIdleSpins = 2000;

void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
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
    // Where a planned file is: one stage, moved only thus (Move, Drop). The second reader
    // moves its files without the stage's mutex, racing the caller and Drop, so every move
    // is atomic; all the others are made under the mutex.
    //   from                      to            by
    //   kPlanned                  kPosted       StartPlanned: a job for the threads
    //   kPosted                   kPlanned      StartPlanned: no thread could be started
    //   kPosted                   kThreadReads  Fetch: a thread begins it
    //   kThreadReads              kReady        Fetch: opened and read
    //   kPlanned                  kSecond       PostToSecond: shared with the second reader
    //   kSecond                   kSecondReads  ReadAsSecond: it came to it first
    //   kSecondReads              kReady        ReadAsSecond: opened and read
    //   kPlanned, kPosted, kSecond              kCallerReads  Open: the caller came first
    //   any but kCallerReads, kDropped          kDropped      Drop: nobody will open it
    // Its share of the budget goes back when the file opened from it is closed, or when the
    // caller reads it itself, or when it is dropped: at once from kPlanned, kSecond or kReady;
    // from kPosted or kThreadReads by its job (Fetch); from kSecondReads by ReadAsSecond.
    enum class Stage {
        kPlanned,
        kPosted,
        kThreadReads,
        kSecond,
        kSecondReads,
        kReady,
        kCallerReads,
        kDropped
    };
    Planned file;
    std::atomic<Stage> stage = Stage::kPlanned;
    std::unique_ptr<platform::InputFile> opened;
    platform::Error openError;
    std::exception_ptr thrown;  // carried to the one who opens it
    Chunk first;

    // Whether it was at from and is now at to; another may have moved it first.
    bool Move(Stage from, Stage to) {
        assert(Allowed(from, to));
        return stage.compare_exchange_strong(from, to);
    }
    // Where it was.
    Stage Drop() {
        Stage was = stage.exchange(Stage::kDropped);
        assert(Allowed(was, Stage::kDropped));
        return was;
    }
    static constexpr bool Allowed(Stage from, Stage to) {
        switch (to) {
            case Stage::kPosted:
            case Stage::kSecond:
                return from == Stage::kPlanned;
            case Stage::kPlanned:
            case Stage::kThreadReads:
                return from == Stage::kPosted;
            case Stage::kSecondReads:
                return from == Stage::kSecond;
            case Stage::kReady:
                return from == Stage::kThreadReads || from == Stage::kSecondReads;
            case Stage::kCallerReads:
                return from == Stage::kPlanned || from == Stage::kPosted || from == Stage::kSecond;
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

ReadAhead::ReadAhead(platform::FileSystem& fs, size_t block, size_t budget, unsigned threads,
                     bool secondReader)
    : fs_(fs), block_(block), budget_(budget), threadCount_(threads) {
    // On one core the caller and the second reader would only take turns.
    second_.unavailable = !secondReader || std::thread::hardware_concurrency() < 2;
}

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
    if (second_.thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(second_.mutex);
            second_.stop = true;
        }
        second_.posted.notify_one();
        second_.thread.join();
    }
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

// Under the mutex. What it holds of the budget goes back now, or when its reader is done.
void ReadAhead::Drop(Ahead& ahead) {
    Stage was = ahead.Drop();
    if (was == Stage::kPlanned || was == Stage::kSecond || was == Stage::kReady)
        used_ -= ahead.first.want;
}

void ReadAhead::Plan(std::vector<Planned> files) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& ahead : planned_)
            Drop(*ahead);
        planned_.clear();
        waiting_.assign(std::make_move_iterator(files.begin()),
                        std::make_move_iterator(files.end()));
        anyFromMedium_ =
            std::any_of(files.begin(), files.end(), [](const Planned& p) { return p.fromMedium; });
        secondWorth_ = files.size() >= kSecondFrom;
    }
    StartPlanned();
}

// Planned in batches, from half the count up to all of it. A file read from the medium goes
// to the threads: the device answers several requests at once faster, however fast it is.
// One read through the cache goes to them only while such files take the device's time to
// read; while the cache answers, waking a thread for each file and waiting for it would take
// longer than reading it, so the caller and one second reader share such files instead.
void ReadAhead::StartPlanned() {
    size_t wake = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Shared with the second reader: a plan of only files through a cache that answers;
        // one of fewer than kSecondFrom the caller takes file by file.
        bool second = !anyFromMedium_ && !CacheSlow() && !second_.unavailable;
        bool batch = planned_.size() <= kFilesAhead / 2 && (!second || secondWorth_);
        size_t added = batch ? PlanMore() : 0;
        if (second && added != 0) {
            // A larger file the caller reads itself, straight into its buffer: copying it out
            // of a chunk would cost about what reading it on the other core saves.
            std::vector<std::shared_ptr<Ahead>> theirs;
            std::copy_if(planned_.rbegin(), planned_.rbegin() + added, std::back_inserter(theirs),
                         [](const auto& ahead) { return ahead->first.want <= kSecondLargest; });
            if (!theirs.empty())
                PostToSecond(std::move(theirs));
        }
        wake = std::min<size_t>(PostJobs(), idle_);
    }
    for (; wake > 0; --wake)
        work_.notify_one();
}

// Under the mutex: files from the waiting ones into the plan, as far as the budget allows;
// how many.
size_t ReadAhead::PlanMore() {
    size_t added = 0;
    for (; !waiting_.empty() && planned_.size() < kFilesAhead; waiting_.pop_front(), ++added) {
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
    return added;
}

// Under the mutex: a job for each planned file worth a thread; how many were posted.
size_t ReadAhead::PostJobs() {
    size_t posted = 0;
    for (const auto& ahead : planned_) {
        if (ahead->stage != Stage::kPlanned || !(ahead->file.fromMedium || CacheSlow()) ||
            threadCount_ == 0)
            continue;
        ahead->Move(Stage::kPlanned, Stage::kPosted);
        jobs_.push_back([this, ahead] { Fetch(ahead); });
        ++posted;
    }
    if (posted != 0 && !StartThreads()) {
        // Nobody to take them: the caller opens each when it comes to it.
        jobs_.clear();
        for (const auto& ahead : planned_)
            ahead->Move(Stage::kPosted, Stage::kPlanned);
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
        if (!ahead->Move(Stage::kPosted, Stage::kThreadReads))
            return;
    }
    bool slow = Read(*ahead);
    std::unique_ptr<platform::InputFile> closing;  // closed after the lock is let go
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ahead->file.fromMedium)
        NoteCacheRead(slow);
    if (!ahead->Move(Stage::kThreadReads, Stage::kReady)) {
        used_ -= ahead->first.want;  // dropped while it was read
        closing = std::move(ahead->opened);
        return;
    }
    if (awaited_ == ahead.get())
        done_.notify_one();
}

// Under the mutex: the files newly planned go to the second reader, far end first; it is
// started now if it is not yet. Each holds a buffer of the caller's, which the thread fills.
void ReadAhead::PostToSecond(std::vector<std::shared_ptr<Ahead>> files) {
    if (!second_.thread.joinable()) {
        try {
            second_.thread = std::thread(&ReadAhead::ReadAsSecond, this);
        } catch (const std::system_error&) {
            second_.unavailable = true;  // the caller reads them all
            return;
        }
    }
    for (const auto& ahead : files) {
        ahead->Move(Stage::kPlanned, Stage::kSecond);  // never a job of the other threads
        ahead->first.buf = platform::AllocateAligned(ahead->first.want);
    }
    bool wake;
    {
        std::lock_guard<std::mutex> lock(second_.mutex);
        second_.read.clear();
        second_.files.insert(second_.files.end(), files.begin(), files.end());
        second_.queued = true;
        wake = second_.idle;
    }
    if (wake)
        second_.posted.notify_one();
}

// The second reader: the files of the plan from its far end back, while the caller reads them
// from its near end; each is read by whichever of the two comes to it first. Nothing but the
// files' states and the budget is shared on the way: where the cache answers in microseconds,
// a lock or a wake-up per file would cost more than the second core gains.
void ReadAhead::ReadAsSecond() {
    std::unique_lock<std::mutex> lock(second_.mutex);
    for (;;) {
        if (second_.files.empty() && !second_.stop) {
            // The caller plans the next files within microseconds as it goes through its
            // listing: looking for them costs less than sleeping and being woken.
            lock.unlock();
            for (unsigned looks = 0; looks < kIdleSpins && !second_.queued; ++looks)
                CpuRelax();
            lock.lock();
        }
        second_.idle = true;
        second_.posted.wait(lock, [this] { return second_.stop || !second_.files.empty(); });
        second_.idle = false;
        if (second_.files.empty())
            return;
        std::vector<std::shared_ptr<Ahead>> files = std::move(second_.files);
        second_.files.clear();
        second_.queued = false;
        lock.unlock();
        for (const auto& ahead : files) {
            if (!ahead->Move(Stage::kSecond, Stage::kSecondReads))
                continue;
            NoteCacheRead(Read(*ahead));
            if (!ahead->Move(Stage::kSecondReads, Stage::kReady)) {
                used_ -= ahead->first.want;  // dropped while it was read
                ahead->opened.reset();
            }
        }
        // Back to the caller to be freed, as it allocated them: freeing another thread's
        // memory contends for malloc's lock.
        lock.lock();
        second_.read.insert(second_.read.end(), files.begin(), files.end());
    }
}

// The second reader is at the file, microseconds from done: looking again costs less than a
// sleep and a wake-up; a long wait (the cache stopped answering) lets others run, then sleeps.
void ReadAhead::AwaitSecond(const Ahead& ahead) {
    for (unsigned looks = 0; ahead.stage.load(std::memory_order_acquire) != Stage::kReady;
         ++looks) {
        if (looks < kSpins)
            CpuRelax();
        else if (looks < kSpins + 100)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
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
    // Not begun yet: read here rather than wait for a reader to come to it. The second reader
    // may take one of its files at the same moment: whoever moves it first reads it.
    Stage at = ahead->stage;
    readHere = (at == Stage::kPlanned || at == Stage::kPosted || at == Stage::kSecond) &&
               ahead->Move(at, Stage::kCallerReads);
    if (readHere || ahead->stage != Stage::kThreadReads)
        return ahead;  // the second reader's the caller awaits without the mutex (AwaitSecond)
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
    AwaitSecond(*ahead);  // at once unless the second reader is at it: Take waited for a thread
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
