// A thread that reads a block of one file while the caller reads a block of another.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

#include "platform/error.h"
#include "platform/fs.h"

namespace platform {

// One read at a time: Start hands it over, Wait takes its result. The file and the buffer
// stay the caller's and must not be touched in between.
class ReadThread {
public:
    ReadThread();
    ~ReadThread();
    ReadThread(const ReadThread&) = delete;
    ReadThread& operator=(const ReadThread&) = delete;

    // Starts file.Read(buf, n, ...) on the thread.
    void Start(InputFile& file, void* buf, size_t n);
    // The result of the read started last, as InputFile::Read gives it.
    bool Wait(size_t& got, Error& error);

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    InputFile* file_ = nullptr;  // the read handed over and not yet begun
    void* buf_ = nullptr;
    size_t n_ = 0;
    bool done_ = false;  // a result is waiting to be taken
    bool ok_ = false;
    size_t got_ = 0;
    Error error_;
    bool stop_ = false;
    std::thread thread_;  // last, so that it starts with the rest in place
};

}  // namespace platform
