// Reading a file from its medium: aligned chunks, handed out in blocks of any size.
#include "platform/medium.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace platform {
namespace {

// What a failed allocation is reported as, in the platform's codes.
#ifdef _WIN32
constexpr int kNoMemory = 8;  // ERROR_NOT_ENOUGH_MEMORY
#else
constexpr int kNoMemory = ENOMEM;
#endif

// The most one chunk asks for: within one ReadFile's count, and a multiple of any alignment.
constexpr size_t kMaxChunk = size_t{16} << 20;

// A file is read by two readers at most at a time (source and copy): keep that many.
constexpr size_t kPoolKeeps = 2;

bool Aligned(uintptr_t value, size_t alignment) {
    return (value & (alignment - 1)) == 0;
}

}  // namespace

void AlignedFree::operator()(unsigned char* p) const {
    ::operator delete[](p, std::align_val_t{alignment});
}

AlignedBuffer AllocateAligned(size_t bytes, size_t alignment) {
    void* p = ::operator new[](bytes, std::align_val_t{alignment}, std::nothrow);
    return AlignedBuffer(static_cast<unsigned char*>(p), AlignedFree{alignment});
}

AlignedBuffer BouncePool::Take(size_t alignment) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = free_.begin(); it != free_.end(); ++it) {
            if (it->get_deleter().alignment >= alignment) {
                AlignedBuffer buffer = std::move(*it);
                free_.erase(it);
                return buffer;
            }
        }
    }
    return AllocateAligned(kBytes, alignment);
}

void BouncePool::Give(AlignedBuffer buffer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (free_.size() < kPoolKeeps)
        free_.push_back(std::move(buffer));
}

AlignedReader::AlignedReader(BouncePool& pool, std::string path, size_t alignment, bool cached)
    : pool_(pool), path_(std::move(path)), alignment_(alignment), cached_(cached) {}

AlignedReader::~AlignedReader() {
    if (bounce_)
        pool_.Give(std::move(bounce_));
}

bool AlignedReader::Read(void* buf, size_t n, size_t& got, Error& error) {
    got = 0;
    auto* out = static_cast<unsigned char*>(buf);
    while (got < n) {
        if (bounceBegin_ < bounceEnd_) {
            size_t k = std::min(n - got, bounceEnd_ - bounceBegin_);
            std::memcpy(out + got, bounce_.get() + bounceBegin_, k);
            bounceBegin_ += k;
            got += k;
            continue;
        }
        if (atEnd_)
            break;
        size_t want = n - got;
        if (Aligned(reinterpret_cast<uintptr_t>(out + got), alignment_) && want >= alignment_) {
            // Straight into the caller's buffer: the common case, a block of whole sectors.
            size_t placed = 0;
            bool ok =
                ReadAt(out + got, std::min(want & ~(alignment_ - 1), kMaxChunk), placed, error);
            got += placed;
            if (!ok)
                return false;
            continue;
        }
        if (!bounce_) {
            bounce_ = pool_.Take(alignment_);
            if (!bounce_) {
                error.code = kNoMemory;
                error.call = "read";
                error.path = path_;
                return false;
            }
        }
        size_t placed = 0;
        if (!ReadAt(bounce_.get(), BouncePool::kBytes, placed, error))
            return false;
        bounceBegin_ = 0;
        bounceEnd_ = placed;
    }
    return true;
}

// One chunk at the current offset, into an aligned buffer of n bytes; notes the end of the file.
bool AlignedReader::ReadAt(void* buf, size_t n, size_t& got, Error& error) {
    got = 0;
    Chunk result = ReadChunk(offset_, buf, n, got, error);
    if (result == Chunk::kRefused && !cached_) {
        if (!UseCache(error))
            return false;
        cached_ = true;
        result = ReadChunk(offset_, buf, n, got, error);
    }
    if (result != Chunk::kRead)
        return false;
    readCached_ = readCached_ || cached_;
    offset_ += got;
    // Uncached, a count that is not whole sectors can only be the end; through the cache a
    // short count is followed by an empty one there.
    if (got == 0 || (!cached_ && !Aligned(got, alignment_)))
        atEnd_ = true;
    return true;
}

}  // namespace platform
