// A hasher that works behind the reads so that they need not wait for it.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/sha256.h"

namespace scheduling {

// Hashes large blocks on a thread of its own while the caller reads on. Up to `depth` blocks
// wait to be hashed, so the caller keeps depth + 1 buffers in turn: a block given to Add stays
// as it is until depth more were given, or Wait, Final or Reset returned. Depth 0 hashes each
// block when it is given, and so do small blocks, where handing them over would cost more than
// it gains.
class HashBehind {
public:
    explicit HashBehind(size_t depth);
    // The depth worth keeping for blocks of this size: three, and at most 4 MiB of them.
    static size_t DepthFor(size_t block) { return std::min<size_t>(3, (size_t{4} << 20) / block); }
    ~HashBehind();
    HashBehind(const HashBehind&) = delete;
    HashBehind& operator=(const HashBehind&) = delete;

    void Add(const void* data, size_t n);
    // Until every block given is hashed.
    void Wait();
    [[nodiscard]] bool Final(platform::Sha256::Digest& digest);
    // Forgets what was given since the last Final.
    void Reset();

private:
    struct Block {
        const void* data;
        size_t size;
    };
    void Work();
    void WaitUntil(size_t pending);

    platform::Sha256 sha_;
    size_t depth_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> pending_;  // the first is being hashed
    bool stop_ = false;
    std::thread thread_;  // none at depth 0, or when it could not be started
};

}  // namespace scheduling
