// Listings ahead of a walk: while the caller handles one directory, a thread of its own lists
// directories the walk will come to later, so that two listings are under way at once.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/fs.h"

namespace scheduling {

class ListAhead {
public:
    // The most the listings done ahead and not yet taken hold at once.
    static constexpr size_t kHeld = size_t{4} << 20;

    // wait: called now and then while the caller waits for a listing the thread is making.
    ListAhead(platform::FileSystem& fs, std::function<void()> wait);
    ~ListAhead();
    ListAhead(const ListAhead&) = delete;
    ListAhead& operator=(const ListAhead&) = delete;

    // Directories the walk will list, in its order, before every one planned earlier: a
    // walk that goes deep first lists a directory's subdirectories before its siblings.
    void Plan(std::vector<std::string> dirs);
    // The listing of dir, as List gives it: the thread's when it has listed it, else made
    // here. Planned directories before dir are ones the walk passed by, and are forgotten.
    bool List(const std::string& dir, std::vector<platform::DirEntry>& entries);

private:
    struct Listing {
        std::vector<platform::DirEntry> entries;
        bool listed = false;
    };
    void Work();

    platform::FileSystem& fs_;
    std::function<void()> wait_;
    std::mutex mutex_;
    std::condition_variable work_;     // a directory to list, or to stop
    std::condition_variable done_;     // a listing is ready
    std::deque<std::string> planned_;  // not begun, in the walk's order
    std::unordered_map<std::string, Listing> ready_;
    std::string busy_;  // what the thread is listing, or empty
    size_t held_ = 0;   // bytes in ready_
    bool stop_ = false;
    bool unavailable_;  // one core, or no thread to be had: the caller lists every directory
    std::thread thread_;
};

}  // namespace scheduling
