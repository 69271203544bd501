// Reads in flight ahead of the comparison: the next files of a listing opened and their
// first blocks read before they are compared, several at once on a few threads, so that the
// device always has requests waiting.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs.h"

namespace scheduling {

class ReadAhead {
public:
    // The most a run's reads ahead hold at once, by default.
    static constexpr size_t kBudget = size_t{32} << 20;
    // Files opened and read ahead at once at most.
    static constexpr size_t kFilesAhead = 32;

    // block: the bytes the comparison asks for at a time; budget: the most its reads ahead
    // hold at once. The threads start with the first file handed to them; when none can be,
    // the caller reads every file itself. secondReader: whether files through a cache that
    // answers are shared with a second reader (bench/read_ahead_bench.cpp weighs it).
    ReadAhead(platform::FileSystem& fs, size_t block, size_t budget = kBudget, unsigned threads = 8,
              bool secondReader = true);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    struct Planned {
        std::string path;
        bool fromMedium = false;  // opened with OpenReadFromMedium
        uint64_t listedSize = 0;
    };
    // The next files to be opened, in the order they will be: each is opened and its first
    // block read ahead, as far as the budget allows; a few files through a cache that answers
    // the caller reads itself. What was planned before and not opened is forgotten.
    void Plan(std::vector<Planned> files);

    // The file at path, as planned or opened now; its reads come from what was read ahead
    // first. Null, with the error, when it cannot be opened.
    std::unique_ptr<platform::InputFile> Open(const std::string& path, bool fromMedium,
                                              platform::Error& error);

    struct Ahead;  // a file opened and read ahead, or on its way

private:
    class File;
    class Timed;
    friend class File;
    friend class Timed;

    void Work();
    void Fetch(const std::shared_ptr<Ahead>& ahead);
    void PostToSecond(std::vector<std::shared_ptr<Ahead>> files);
    void ReadAsSecond();
    static void AwaitSecond(const Ahead& ahead);
    std::shared_ptr<Ahead> Take(const std::string& path, bool fromMedium,
                                std::unique_lock<std::mutex>& lock, bool& readHere);
    // Opens the file and reads its first chunk; whether that took the device's time.
    bool Read(Ahead& ahead);
    void StartPlanned();  // as many planned files as the budget and the count allow
    size_t PlanMore();
    size_t PostJobs();
    bool StartThreads();  // under the mutex: whether there is a thread for the jobs
    void Release(size_t bytes);
    void NoteCacheRead(bool slow);
    bool CacheSlow() const;
    void Drop(Ahead& ahead);  // under the mutex: nobody will open it

    platform::FileSystem& fs_;
    size_t block_;
    size_t budget_;
    std::mutex mutex_;
    std::condition_variable work_;  // a job is waiting, or the threads are to stop
    std::condition_variable done_;  // a file read ahead is ready
    std::deque<std::function<void()>> jobs_;
    bool stop_ = false;
    unsigned idle_ = 0;  // threads waiting for a job
    // Files read through the cache that took the device's time, in a row (NoteCacheRead).
    // Until a few did (CacheSlow), the caller reads each such file itself: a run over a warm
    // cache then starts no thread at all, and a cold one finds out within its first files.
    std::atomic<unsigned> slowInARow_ = 0;
    bool anyFromMedium_ = false;                  // in the plan
    bool secondWorth_ = false;                    // enough to share with the second reader
    Ahead* awaited_ = nullptr;                    // the file the caller waits for
    std::atomic<size_t> used_ = 0;                // bytes of the budget held
    std::deque<std::shared_ptr<Ahead>> planned_;  // started or not, in order
    std::deque<Planned> waiting_;                 // planned, not started yet
    unsigned threadCount_;  // 0 when none could be started: the caller reads every file
    std::vector<std::thread> threads_;
    // A thread of its own that reads a plan of files through a cache that answers from its
    // far end while the caller reads from the near end: woken at most once a batch, and
    // sharing nothing with the caller on the way but the files' states and the budget.
    struct Second {
        std::mutex mutex;
        std::condition_variable posted;
        std::vector<std::shared_ptr<Ahead>> files;  // under mutex, until the thread takes them
        std::vector<std::shared_ptr<Ahead>> read;   // under mutex, for the caller to let go
        bool stop = false;                          // under mutex
        bool idle = false;                          // under mutex: waiting to be woken
        std::atomic<bool> queued = false;           // files were posted since it took some
        bool unavailable = false;  // one core, or no thread to be had: the caller reads all
        std::thread thread;
    };
    Second second_;
};

}  // namespace scheduling
