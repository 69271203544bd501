// SHA-256 by the system's own implementation (libcrypto on POSIX, CNG on Windows), and a
// hasher that works behind the reads so that they need not wait for it.
#pragma once

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

class Sha256 {
public:
    using Digest = std::array<unsigned char, 32>;

    // Throws nothing but std::bad_alloc: where the system's hash cannot be had, or fails, Final
    // says so.
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, size_t n);
    // The digest of everything given since the last Final, which starts it afresh; false
    // when the system's hash failed on any of it.
    [[nodiscard]] bool Final(Digest& digest);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// 64 lowercase hex digits.
std::string ToHex(const Sha256::Digest& digest);

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
    [[nodiscard]] bool Final(Sha256::Digest& digest);
    // Forgets what was given since the last Final.
    void Reset();

private:
    struct Block {
        const void* data;
        size_t size;
    };
    void Work();
    void WaitUntil(size_t pending);

    Sha256 sha_;
    size_t depth_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> pending_;  // the first is being hashed
    bool stop_ = false;
    std::thread thread_;  // none at depth 0, or when it could not be started
};

}  // namespace platform
