// The thread takes directories from the far end of the plan, the caller from the near end:
// they meet in the middle instead of waiting on each other at every directory.
#include "scheduling/list_ahead.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>
#include <utility>

namespace scheduling {

namespace {

// How often a caller waiting for the thread lets the window repaint.
constexpr std::chrono::milliseconds kWaitSlice{50};

}  // namespace

ListAhead::ListAhead(platform::FileSystem& fs, std::function<void()> wait)
    : fs_(fs), wait_(std::move(wait)), unavailable_(std::thread::hardware_concurrency() < 2) {}

ListAhead::~ListAhead() {
    std::unique_lock<std::mutex> lock(mutex_);
    stop_ = true;
    work_.notify_one();
    // A listing under way is finished first (a stop can come during a slow one): the window
    // stays alive meanwhile, and one that cannot repaint loses nothing.
    while (!done_.wait_for(lock, kWaitSlice, [&] { return busy_.empty(); })) {
        lock.unlock();
        try {
            wait_();
        } catch (...) {
        }
        lock.lock();
    }
    lock.unlock();
    if (thread_.joinable())
        thread_.join();
}

void ListAhead::Plan(std::vector<std::string> dirs) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unavailable_)
        return;
    planned_.insert(planned_.begin(), std::make_move_iterator(dirs.begin()),
                    std::make_move_iterator(dirs.end()));
    if (planned_.size() < 2)
        return;
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            unavailable_ = true;
            planned_.clear();
            return;
        }
    }
    work_.notify_one();
}

bool ListAhead::List(const std::string& dir, std::vector<platform::DirEntry>& entries) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (auto it = ready_.find(dir); it != ready_.end()) {
            bool wasFull = held_ >= kHeld;
            held_ -= ListingBytes(it->second.entries);
            entries = std::move(it->second.entries);
            bool listed = it->second.listed;
            ready_.erase(it);
            // The thread took dir from the far end: what is still planned comes before it,
            // and the walk has passed that by.
            planned_.clear();
            lock.unlock();
            if (wasFull)
                work_.notify_one();
            return listed;
        }
        if (busy_ != dir)
            break;
        // A listing can take long (a slow network, a huge directory): the window stays alive.
        if (!done_.wait_for(lock, kWaitSlice, [&] { return busy_ != dir; })) {
            lock.unlock();
            wait_();
            lock.lock();
        }
    }
    if (auto at = std::find(planned_.begin(), planned_.end(), dir); at != planned_.end())
        planned_.erase(planned_.begin(), at + 1);
    lock.unlock();
    return ListOrNothing(fs_, dir, entries);
}

void ListAhead::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // The nearest directory is left to the caller, who comes to it next.
        work_.wait(lock, [&] { return stop_ || (planned_.size() >= 2 && held_ < kHeld); });
        if (stop_)
            return;
        busy_ = std::move(planned_.back());
        planned_.pop_back();
        lock.unlock();
        Listing listing;
        listing.listed = ListOrNothing(fs_, busy_, listing.entries);
        size_t bytes = ListingBytes(listing.entries);
        lock.lock();
        try {
            ready_.emplace(busy_, std::move(listing));
            held_ += bytes;
        } catch (const std::bad_alloc&) {
            // Nowhere to keep it: the caller lists that directory itself.
        }
        busy_.clear();
        done_.notify_all();
    }
}

}  // namespace scheduling
