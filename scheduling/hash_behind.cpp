// The hasher behind the reads, on every system.
#include "scheduling/hash_behind.h"

#include <system_error>

namespace scheduling {

namespace {

// Below this a block is hashed in less time than a thread takes to wake up.
constexpr size_t kHandOver = size_t{256} << 10;

}  // namespace

HashBehind::HashBehind(size_t depth) : depth_(depth) {
    try {
        if (depth_ > 0)
            thread_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // No thread to be had: every block is hashed when it is given.
    }
}

HashBehind::~HashBehind() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void HashBehind::Add(const void* data, size_t n) {
    if (n < kHandOver || !thread_.joinable()) {
        Wait();  // in order after what is waiting
        sha_.Update(data, n);
        return;
    }
    WaitUntil(depth_ - 1);
    {
        std::lock_guard lock(mutex_);
        pending_.push_back({data, n});
    }
    changed_.notify_all();
}

void HashBehind::WaitUntil(size_t pending) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending_.size() <= pending; });
}

void HashBehind::Wait() {
    WaitUntil(0);
}

bool HashBehind::Final(platform::Sha256::Digest& digest) {
    Wait();
    return sha_.Final(digest);
}

void HashBehind::Reset() {
    platform::Sha256::Digest forgotten;
    (void)Final(forgotten);
}

// Blocks still waiting when it is told to stop are hashed first: their buffers may be freed
// as soon as it has stopped.
void HashBehind::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !pending_.empty() || stop_; });
        if (pending_.empty())
            return;
        Block block = pending_.front();
        lock.unlock();
        sha_.Update(block.data, block.size);
        lock.lock();
        pending_.pop_front();
        changed_.notify_all();
    }
}

}  // namespace scheduling
