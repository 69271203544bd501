// Reading a file from its medium: aligned buffers and a reader that asks only for aligned chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fs.h"

namespace platform {

// What uncached reads need at least; a device with larger sectors asks for more.
constexpr size_t kMinAlignment = 4096;

// Whether a failed uncached open or read with this error code means that the file system
// takes no uncached reads, so that the file is to be read through the cache instead.
bool RefusesUncached(int code);

struct AlignedFree {
    size_t alignment = kMinAlignment;
    void operator()(unsigned char* p) const;
};
using AlignedBuffer = std::unique_ptr<unsigned char[], AlignedFree>;

// bytes at an address that is a multiple of alignment (a power of two); null when memory is
// short.
AlignedBuffer AllocateAligned(size_t bytes, size_t alignment = kMinAlignment);

// Bounce buffers handed from one file to the next, so that a run allocates them once.
class BouncePool {
public:
    static constexpr size_t kBytes = size_t{1} << 20;

    // A buffer of kBytes aligned to alignment; null when memory is short.
    AlignedBuffer Take(size_t alignment);
    void Give(AlignedBuffer buffer);

private:
    std::mutex mutex_;
    std::vector<AlignedBuffer> free_;
};

// Hands out any number of bytes per Read while the system is asked only for chunks whose
// position, size and address are multiples of the alignment: the caller's buffer where it
// allows that, a bounce buffer otherwise. Once the system refuses an uncached read, it reads
// on through the cache from the same position.
class AlignedReader : public InputFile {
public:
    ~AlignedReader() override;
    bool Read(void* buf, size_t n, size_t& got, Error& error) override;
    bool ReadThroughCache() const override { return readCached_; }

protected:
    // cached: the file is already open for reading through the cache.
    AlignedReader(BouncePool& pool, std::string path, size_t alignment, bool cached);

    enum class Chunk { kRead, kFailed, kRefused };
    // One read of up to n bytes at offset. Until UseCache, buf, n and offset are multiples
    // of the alignment. kRefused: the system takes no uncached read of this file.
    virtual Chunk ReadChunk(uint64_t offset, void* buf, size_t n, size_t& got, Error& error) = 0;
    // Turns the file to reading through the cache.
    virtual bool UseCache(Error& error) = 0;

    const std::string& path() const { return path_; }

private:
    bool ReadAt(void* buf, size_t n, size_t& got, Error& error);

    BouncePool& pool_;
    std::string path_;
    size_t alignment_;
    bool cached_;
    bool readCached_ = false;
    bool atEnd_ = false;
    uint64_t offset_ = 0;  // of the next chunk
    AlignedBuffer bounce_;
    size_t bounceBegin_ = 0;  // the bytes read into bounce_ and not handed out yet
    size_t bounceEnd_ = 0;
};

}  // namespace platform
