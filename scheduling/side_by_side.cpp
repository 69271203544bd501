// Several media at once, on every system.
#include "scheduling/side_by_side.h"

#include <algorithm>
#include <system_error>

namespace scheduling {

SideBySide::SideBySide(size_t helpers) {
    try {
        for (size_t i = 0; i < helpers; ++i)
            helpers_.emplace_back([this, i] { Help(i + 1); });
    } catch (const std::system_error&) {
        // Fewer threads to be had: the caller takes the items they would have.
    }
}

SideBySide::~SideBySide() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& helper : helpers_)
        helper.join();
}

void SideBySide::Run(size_t n, const std::function<void(size_t)>& step) {
    size_t handed = std::min(n == 0 ? 0 : n - 1, helpers_.size());
    if (handed > 0) {
        std::lock_guard lock(mutex_);
        step_ = &step;
        items_ = handed + 1;
        running_ = handed;
        ++round_;
    }
    changed_.notify_all();
    std::exception_ptr failure;
    try {
        for (size_t item = 0; item < n; ++item)
            if (item == 0 || item > handed)
                step(item);
    } catch (...) {
        failure = std::current_exception();
    }
    // The helpers use step until they are done, whatever happened here.
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return running_ == 0; });
    if (!failure)
        std::swap(failure, failure_);
    failure_ = nullptr;
    if (failure)
        std::rethrow_exception(failure);
}

void SideBySide::Help(size_t item) {
    size_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || round_ != seen; });
        if (stop_)
            return;
        seen = round_;
        if (item >= items_)
            continue;
        const std::function<void(size_t)>& step = *step_;
        lock.unlock();
        std::exception_ptr failure;
        try {
            step(item);
        } catch (...) {
            failure = std::current_exception();  // for Run to throw on the caller's thread
        }
        lock.lock();
        if (failure && !failure_)
            failure_ = failure;
        if (--running_ == 0)
            changed_.notify_all();
    }
}

}  // namespace scheduling
