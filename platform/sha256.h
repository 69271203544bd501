// SHA-256 by the system's own implementation (libcrypto on POSIX, CNG on Windows), and a
// hasher that works behind the reads so that they need not wait for it.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

class Sha256 {
public:
    using Digest = std::array<unsigned char, 32>;

    // Throws std::runtime_error when the system has no SHA-256 to offer.
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, size_t n);
    // The digest of everything given since the last Final, which starts it afresh.
    Digest Final();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// 64 lowercase hex digits.
std::string ToHex(const Sha256::Digest& digest);

// Hashes large blocks on a thread of its own while the caller reads on: a block given to
// Add must stay as it is until Wait, Final or Reset returns. Small blocks are hashed at once,
// where handing them over would cost more than it gains.
class HashBehind {
public:
    HashBehind();
    ~HashBehind();
    HashBehind(const HashBehind&) = delete;
    HashBehind& operator=(const HashBehind&) = delete;

    void Add(const void* data, size_t n);
    // Until the block given last is hashed.
    void Wait();
    Sha256::Digest Final();
    // Forgets what was given since the last Final.
    void Reset();

private:
    void Work();

    Sha256 sha_;
    std::mutex mutex_;
    std::condition_variable changed_;
    const void* data_ = nullptr;  // the block being hashed
    size_t size_ = 0;
    bool stop_ = false;
    std::exception_ptr failure_;
    std::thread thread_;  // none when it could not be started: all is hashed at once
};

}  // namespace platform
