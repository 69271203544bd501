// Reading from the medium: the aligned chunks asked of the system, the real reader against an
// ordinary read, and the thread that reads one side while the caller reads the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs.h"
#include "platform/medium.h"
#include "tests/support/bytes.h"
#include "tests/support/tempdir.h"

namespace {

using platform::AlignedReader;
using platform::BouncePool;
using platform::Error;
using platform::InputFile;

// A file in memory behind the reader, checking that every uncached chunk is aligned.
class MemoryMedium : public AlignedReader {
public:
    struct Options {
        size_t alignment = platform::kMinAlignment;
        size_t most = SIZE_MAX;  // bytes placed per chunk at most, whole sectors
        unsigned refuseAt = 0;   // the chunk the system refuses uncached, counted from 1
        unsigned failAt = 0;     // the chunk that fails
        bool cached = false;     // opened through the cache from the start
    };

    MemoryMedium(BouncePool& pool, std::string bytes, Options options)
        : AlignedReader(pool, "f", options.alignment, options.cached),
          bytes_(std::move(bytes)),
          options_(options),
          cached_(options.cached) {}

    unsigned chunks = 0;
    unsigned uncachedChunks = 0;

protected:
    Chunk ReadChunk(uint64_t offset, void* buf, size_t n, size_t& got, Error& error) override {
        ++chunks;
        if (!cached_) {
            ++uncachedChunks;
            EXPECT_EQ(offset % options_.alignment, 0u) << "offset " << offset;
            EXPECT_EQ(n % options_.alignment, 0u) << "count " << n;
            EXPECT_EQ(reinterpret_cast<uintptr_t>(buf) % options_.alignment, 0u) << "address";
            EXPECT_GT(n, 0u);
        }
        if (chunks == options_.failAt) {
            error.code = 5;
            return Chunk::kFailed;
        }
        if (!cached_ && chunks == options_.refuseAt) {
            error.code = 22;
            return Chunk::kRefused;
        }
        size_t left = offset < bytes_.size() ? bytes_.size() - static_cast<size_t>(offset) : 0;
        got = std::min({n, left, options_.most});
        std::memcpy(buf, bytes_.data() + offset, got);
        return Chunk::kRead;
    }

    bool UseCache(Error&) override {
        cached_ = true;
        return true;
    }

private:
    std::string bytes_;
    Options options_;
    bool cached_;
};

// What a block-by-block reader sees: the count of every Read up to the first short one,
// and the bytes.
struct Blocks {
    std::vector<size_t> counts;
    std::string bytes;
    bool failed = false;
};

// Reads as the comparison does, into a buffer `skew` bytes past an aligned address.
Blocks ReadBlocks(InputFile& file, size_t block, size_t skew = 0) {
    Blocks out;
    platform::AlignedBuffer buffer = platform::AllocateAligned(block + skew);
    for (;;) {
        size_t got = 0;
        Error error;
        if (!file.Read(buffer.get() + skew, block, got, error)) {
            out.failed = true;
            out.bytes.append(reinterpret_cast<char*>(buffer.get() + skew), got);
            return out;
        }
        out.counts.push_back(got);
        out.bytes.append(reinterpret_cast<char*>(buffer.get() + skew), got);
        if (got < block)
            return out;
    }
}

std::vector<size_t> ExpectedCounts(size_t size, size_t block) {
    std::vector<size_t> counts(size / block, block);
    counts.push_back(size % block);
    return counts;
}

constexpr size_t kBlocksKB[] = {1, 3, 4, 1024, 10240};
constexpr size_t kSmallSizes[] = {0, 1, 511, 512, 4095, 4096, 4097};

std::vector<size_t> SizesFor(size_t block) {
    std::vector<size_t> sizes(std::begin(kSmallSizes), std::end(kSmallSizes));
    sizes.push_back(3 * block + 1);
    return sizes;
}

TEST(AlignedReader, GivesWholeBlocksOfAnySizeFromAlignedChunks) {
    BouncePool pool;
    for (size_t kb : kBlocksKB) {
        size_t block = kb * 1024;
        for (size_t size : SizesFor(block)) {
            std::string bytes = Bytes(size);
            for (size_t skew : {0, 1}) {
                SCOPED_TRACE(testing::Message()
                             << kb << " KB blocks, " << size << " bytes, skew " << skew);
                MemoryMedium file(pool, bytes, {});
                Blocks got = ReadBlocks(file, block, skew);
                EXPECT_FALSE(got.failed);
                EXPECT_EQ(got.counts, ExpectedCounts(size, block));
                EXPECT_TRUE(got.bytes == bytes);
                EXPECT_FALSE(file.ReadThroughCache());
            }
        }
    }
}

TEST(AlignedReader, ReadsPastShortChunksOfWholeSectors) {
    // A system may place fewer whole sectors than asked without being at the end.
    BouncePool pool;
    for (size_t block : {size_t{1024}, size_t{3 * 1024}, size_t{64 * 1024}}) {
        SCOPED_TRACE(block);
        std::string bytes = Bytes(5 * 4096 + 7);
        MemoryMedium file(pool, bytes, {.most = 4096});
        Blocks got = ReadBlocks(file, block);
        EXPECT_EQ(got.counts, ExpectedCounts(bytes.size(), block));
        EXPECT_TRUE(got.bytes == bytes);
    }
}

TEST(AlignedReader, LargerSectorsAreRespected) {
    BouncePool pool;
    std::string bytes = Bytes(3 * 8192 + 100);
    for (size_t block : {size_t{4096}, size_t{8192}, size_t{12 * 1024}}) {
        SCOPED_TRACE(block);
        MemoryMedium file(pool, bytes, {.alignment = 8192});
        Blocks got = ReadBlocks(file, block);
        EXPECT_EQ(got.counts, ExpectedCounts(bytes.size(), block));
        EXPECT_TRUE(got.bytes == bytes);
    }
}

TEST(AlignedReader, AlignedBlocksNeedNoBounceBuffer) {
    // Each Read of whole sectors into the run's buffer is one chunk, and the end one more.
    BouncePool pool;
    MemoryMedium file(pool, Bytes(3 * 65536), {});
    Blocks got = ReadBlocks(file, 65536);
    EXPECT_EQ(got.counts, ExpectedCounts(3 * 65536, 65536));
    EXPECT_EQ(file.chunks, 4u);
}

TEST(AlignedReader, SmallBlocksComeFromFewLargeChunks) {
    BouncePool pool;
    size_t size = 2 * BouncePool::kBytes + 10;
    MemoryMedium file(pool, Bytes(size), {});
    Blocks got = ReadBlocks(file, 1024);
    EXPECT_EQ(got.bytes.size(), size);
    EXPECT_EQ(file.chunks, 3u);
}

TEST(AlignedReader, RefusalTurnsToTheCacheAtTheSamePlace) {
    BouncePool pool;
    for (unsigned refuseAt : {1u, 2u, 3u}) {
        for (size_t block : {size_t{1024}, size_t{8192}}) {
            SCOPED_TRACE(testing::Message() << "refused at " << refuseAt << ", block " << block);
            std::string bytes = Bytes(BouncePool::kBytes * 2 + 3 * 8192 + 5);
            MemoryMedium file(pool, bytes, {.most = 8192, .refuseAt = refuseAt});
            Blocks got = ReadBlocks(file, block);
            EXPECT_FALSE(got.failed);
            EXPECT_EQ(got.counts, ExpectedCounts(bytes.size(), block));
            EXPECT_TRUE(got.bytes == bytes);
            EXPECT_TRUE(file.ReadThroughCache());
            EXPECT_EQ(file.uncachedChunks, refuseAt);
        }
    }
}

TEST(AlignedReader, ThroughTheCacheOnlyOnceReadSo) {
    BouncePool pool;
    MemoryMedium opened(pool, Bytes(10), {.cached = true});
    EXPECT_FALSE(opened.ReadThroughCache()) << "nothing read yet";
    Blocks got = ReadBlocks(opened, 4096);
    EXPECT_EQ(got.counts, (std::vector<size_t>{10}));
    EXPECT_TRUE(opened.ReadThroughCache());

    // Refused after the last byte: the empty read that finds the end goes through the cache.
    MemoryMedium refusedAtEnd(pool, Bytes(4096), {.refuseAt = 2});
    ReadBlocks(refusedAtEnd, 4096);
    EXPECT_TRUE(refusedAtEnd.ReadThroughCache());
}

TEST(AlignedReader, FailureKeepsTheBytesPlacedBefore) {
    BouncePool pool;
    std::string bytes = Bytes(10 * 4096);
    // Second chunk of a block of 8 sectors: the first 4 sectors are in.
    MemoryMedium direct(pool, bytes, {.most = 4 * 4096, .failAt = 2});
    Blocks got = ReadBlocks(direct, 8 * 4096);
    EXPECT_TRUE(got.failed);
    EXPECT_TRUE(got.bytes == bytes.substr(0, 4 * 4096));
    EXPECT_FALSE(direct.ReadThroughCache());

    // Through the bounce buffer: what it held before the failure is handed out first.
    MemoryMedium bounced(pool, Bytes(BouncePool::kBytes + 1), {.failAt = 2});
    got = ReadBlocks(bounced, 3000);
    EXPECT_TRUE(got.failed);
    EXPECT_EQ(got.bytes.size(), BouncePool::kBytes);
}

TEST(BouncePool, HandsBuffersOnAndAllocatesForLargerAlignments) {
    BouncePool pool;
    platform::AlignedBuffer first = pool.Take(4096);
    ASSERT_NE(first, nullptr);
    unsigned char* address = first.get();
    pool.Give(std::move(first));
    platform::AlignedBuffer again = pool.Take(4096);
    EXPECT_EQ(again.get(), address);
    pool.Give(std::move(again));
    platform::AlignedBuffer larger = pool.Take(65536);
    ASSERT_NE(larger, nullptr);
    EXPECT_NE(larger.get(), address);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(larger.get()) % 65536, 0u);
}

// The real reader against an ordinary read of the same files, block by block.
class MediumReadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        temp = new TempDir;
        for (size_t kb : kBlocksKB)
            for (size_t size : SizesFor(kb * 1024))
                temp->WriteFile(Name(size), Bytes(size, static_cast<unsigned>(size)));
    }
    static void TearDownTestSuite() {
        delete temp;
        temp = nullptr;
    }
    static std::string Name(size_t size) { return std::to_string(size) + ".bin"; }

    static TempDir* temp;
};

TempDir* MediumReadTest::temp = nullptr;

TEST_F(MediumReadTest, SameCountsAndBytesAsAnOrdinaryRead) {
    platform::FileSystem& fs = platform::RealFileSystem();
    for (size_t kb : kBlocksKB) {
        size_t block = kb * 1024;
        for (size_t size : SizesFor(block)) {
            for (size_t skew : {0, 1}) {
                SCOPED_TRACE(testing::Message()
                             << kb << " KB blocks, " << size << " bytes, skew " << skew);
                Error error;
                auto medium = fs.OpenReadFromMedium(temp->Path(Name(size)), error);
                ASSERT_NE(medium, nullptr) << platform::Describe(error);
                auto ordinary = fs.OpenRead(temp->Path(Name(size)), error);
                ASSERT_NE(ordinary, nullptr) << platform::Describe(error);
                Blocks fromMedium = ReadBlocks(*medium, block, skew);
                Blocks fromCache = ReadBlocks(*ordinary, block, skew);
                EXPECT_FALSE(fromMedium.failed);
                EXPECT_EQ(fromMedium.counts, fromCache.counts);
                EXPECT_EQ(fromMedium.counts, ExpectedCounts(size, block));
                EXPECT_TRUE(fromMedium.bytes == fromCache.bytes);
            }
        }
    }
}

TEST_F(MediumReadTest, RefusesWhatOpenReadRefuses) {
    temp->MakeDir("dir");
    Error error;
    EXPECT_EQ(platform::RealFileSystem().OpenReadFromMedium(temp->Path("dir"), error), nullptr);
    EXPECT_TRUE(error.failed());
    error = {};
    EXPECT_EQ(platform::RealFileSystem().OpenReadFromMedium(temp->Path("missing"), error), nullptr);
    EXPECT_TRUE(error.failed());
}

TEST_F(MediumReadTest, SameVolumeForTwoFilesOfOneTree) {
    platform::FileSystem& fs = platform::RealFileSystem();
    EXPECT_TRUE(fs.SameVolume(temp->Path(Name(0)), temp->Path(Name(1))));
    EXPECT_TRUE(fs.SameVolume(temp->path(), temp->Path(Name(1))));
    EXPECT_FALSE(fs.SameVolume(temp->Path(Name(0)), temp->Path("missing")));
#ifndef _WIN32
    // A tmpfs of its own.
    if (std::filesystem::is_directory("/dev/shm") && !temp->path().starts_with("/dev/shm")) {
        EXPECT_FALSE(fs.SameVolume(temp->path(), "/dev/shm"));
    }
#endif
}

}  // namespace
