// Work on several media at once: the same step for each of them, each on a thread of its own.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace scheduling {

// Runs a step for items 0 to n - 1 at the same time: item 0 on the caller's thread, each other
// on a helper of its own, kept from one call to the next. When there are fewer helpers than
// items (none could be started), the caller does the rest in turn.
class SideBySide {
public:
    explicit SideBySide(size_t helpers);
    ~SideBySide();
    SideBySide(const SideBySide&) = delete;
    SideBySide& operator=(const SideBySide&) = delete;

    // Returns when step has run for every item; throws what a step threw, once all are done.
    void Run(size_t n, const std::function<void(size_t item)>& step);

private:
    void Help(size_t item);

    std::mutex mutex_;
    std::condition_variable changed_;
    const std::function<void(size_t)>* step_ = nullptr;
    size_t round_ = 0;    // raised by each Run that hands out items
    size_t items_ = 0;    // of this round
    size_t running_ = 0;  // helpers not done with this round
    bool stop_ = false;
    std::exception_ptr failure_;        // what a helper's step threw this round
    std::vector<std::thread> helpers_;  // helper i takes item i + 1
};

}  // namespace scheduling
