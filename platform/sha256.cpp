// The hasher behind the reads, on every system.
#include <system_error>
#include <utility>

#include "platform/sha256.h"

namespace platform {

namespace {

// Below this a block is hashed in less time than a thread takes to wake up.
constexpr size_t kHandOver = size_t{256} << 10;

}  // namespace

std::string ToHex(const Sha256::Digest& digest) {
    std::string hex;
    for (unsigned char byte : digest) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 0xF];
    }
    return hex;
}

HashBehind::HashBehind() {
    try {
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
    Wait();
    if (n < kHandOver || !thread_.joinable()) {
        sha_.Update(data, n);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        data_ = data;
        size_ = n;
    }
    changed_.notify_all();
}

void HashBehind::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return data_ == nullptr; });
    if (failure_)
        std::rethrow_exception(std::exchange(failure_, nullptr));
}

Sha256::Digest HashBehind::Final() {
    Wait();
    return sha_.Final();
}

void HashBehind::Reset() {
    Final();
}

void HashBehind::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return data_ != nullptr || stop_; });
        if (data_ == nullptr)
            return;
        lock.unlock();
        std::exception_ptr failure;
        try {
            sha_.Update(data_, size_);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        failure_ = failure;
        data_ = nullptr;
        changed_.notify_all();
    }
}

}  // namespace platform
