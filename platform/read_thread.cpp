// A thread that reads one side's block while the caller reads the other.
#include "platform/read_thread.h"

#include <utility>

namespace platform {

ReadThread::ReadThread() : thread_(&ReadThread::Run, this) {}

ReadThread::~ReadThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ReadThread::Start(InputFile& file, void* buf, size_t n) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        file_ = &file;
        buf_ = buf;
        n_ = n;
    }
    changed_.notify_all();
}

bool ReadThread::Wait(size_t& got, Error& error) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return done_; });
    done_ = false;
    got = got_;
    if (!ok_)
        error = std::move(error_);
    return ok_;
}

void ReadThread::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || file_ != nullptr; });
        if (stop_)
            return;
        InputFile* file = std::exchange(file_, nullptr);
        void* buf = buf_;
        size_t n = n_;
        lock.unlock();
        size_t got = 0;
        Error error;
        bool ok = file->Read(buf, n, got, error);
        lock.lock();
        ok_ = ok;
        got_ = got;
        error_ = std::move(error);
        done_ = true;
        changed_.notify_all();
    }
}

}  // namespace platform
