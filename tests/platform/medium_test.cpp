// Reading from the medium: the aligned chunks asked of the system, the real reader against an
// ordinary read, and the thread that reads one side while the caller reads the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/medium.h"
#include "tests/support/bytes.h"
#include "tests/support/tempdir.h"

namespace platform {
namespace {

constexpr size_t kMB = BouncePool::kBytes;

struct Script {
    size_t alignment = 4096;
    size_t most = SIZE_MAX;  // bytes placed per chunk at most, whole sectors
    unsigned refuseAt = 0;   // the chunk the system refuses uncached, counted from 1
    unsigned failAt = 0;     // the chunk that fails
    bool cached = false;     // opened through the cache from the start
};

// A file in memory behind the reader, checking that every uncached chunk is aligned.
struct MemoryMedium : AlignedReader {
    MemoryMedium(BouncePool& pool, size_t size, Script script)
        : AlignedReader(pool, "f", script.alignment, script.cached),
          bytes(Bytes(size)),
          script(script),
          cached(script.cached) {}
    Chunk ReadChunk(uint64_t at, void* buf, size_t n, size_t& got, Error& error) override {
        ++chunks;
        size_t a = script.alignment;
        EXPECT_TRUE(cached || (at % a == 0 && n % a == 0 && n > 0 && uintptr_t(buf) % a == 0));
        uncached += !cached;
        error.code = chunks == script.failAt ? 5 : 22;
        if (chunks == script.failAt || (!cached && chunks == script.refuseAt))
            return chunks == script.failAt ? Chunk::kFailed : Chunk::kRefused;
        got = std::min({n, bytes.size() - std::min<size_t>(at, bytes.size()), script.most});
        std::memcpy(buf, bytes.data() + at, got);
        return Chunk::kRead;
    }
    bool UseCache(Error&) override { return cached = true; }
    std::string bytes;
    Script script;
    bool cached;
    unsigned chunks = 0, uncached = 0;
};

// Reads as the comparison does, block by block into a buffer `skew` bytes past an aligned
// address, up to the first short block or a failure; gives each count and all bytes.
std::vector<size_t> ReadBlocks(InputFile& file, size_t block, std::string& bytes, bool& failed,
                               size_t skew = 0) {
    std::vector<size_t> counts;
    AlignedBuffer buffer = AllocateAligned(block + skew, 65536);
    bytes.clear();
    for (size_t got = block; got == block && !failed;) {
        Error error;
        failed = !file.Read(buffer.get() + skew, block, got, error);
        bytes.append(reinterpret_cast<char*>(buffer.get() + skew), got);
        counts.push_back(got);
    }
    return counts;
}

std::vector<size_t> WholeBlocks(size_t size, size_t block) {
    std::vector<size_t> counts(size / block, block);
    counts.push_back(size % block);
    return counts;
}

constexpr size_t kBlocks[] = {1024, 3 * 1024, 4096, kMB, 10 * kMB};
constexpr size_t kSizes[] = {0, 1, 511, 512, 4095, 4096, 4097, 3 * kMB + 1};

// Any block size, file size and buffer address: whole blocks up to the end, from the
// memory medium and from the real one, as from an ordinary read.
TEST(AlignedReader, GivesWholeBlocksFromAlignedChunks) {
    BouncePool pool;
    TempDir temp;
    for (size_t size : kSizes)
        temp.WriteFile(std::to_string(size), Bytes(size));
    for (size_t block : kBlocks) {
        for (size_t size : kSizes) {
            SCOPED_TRACE(testing::Message() << block << " " << size);
            std::string name = temp.Path(std::to_string(size)), bytes;
            Error error;
            auto medium = RealFileSystem().OpenReadFromMedium(name, error);
            auto ordinary = RealFileSystem().OpenRead(name, error);
            ASSERT_TRUE(medium && ordinary) << Describe(error);
            MemoryMedium memory(pool, size, {});
            for (InputFile* file :
                 {medium.get(), ordinary.get(), static_cast<InputFile*>(&memory)}) {
                bool failed = false;
                EXPECT_EQ(ReadBlocks(*file, block, bytes, failed, size % 2),
                          WholeBlocks(size, block));
                EXPECT_TRUE(!failed && bytes == Bytes(size));
            }
        }
    }
}

TEST(AlignedReader, ChunksRefusalsAndFailures) {
    const struct {
        Script script;
        size_t size, block;
        unsigned chunks, uncached;  // asked of the system
        size_t bytes;               // handed out before the end or the failure
        bool throughCache;
    } rows[] = {
        {{}, 3 * 65536, 65536, 4, 4, 3 * 65536, false},       // into the caller's buffer
        {{}, 2 * kMB + 10, 1024, 3, 3, 2 * kMB + 10, false},  // through 1 MB bounces
        {{}, 0, 4096, 1, 1, 0, false},
        {{.most = 4096}, 5 * 4096 + 7, 3 * 1024, 6, 6, 5 * 4096 + 7, false},
        {{.alignment = 8192}, 3 * 8192 + 100, 12 * 1024, 2, 2, 3 * 8192 + 100, false},
        {{.most = 8192, .refuseAt = 1}, 2 * kMB + 5, 8192, 259, 1, 2 * kMB + 5, true},
        {{.most = 8192, .refuseAt = 3}, 2 * kMB + 5, 8192, 259, 3, 2 * kMB + 5, true},
        {{.most = 8192, .refuseAt = 2}, 2 * kMB + 5, 1024, 259, 2, 2 * kMB + 5, true},
        {{.refuseAt = 2}, 4096, 4096, 3, 2, 4096, true},  // refused only at the end
        {{.cached = true}, 10, 4096, 2, 0, 10, true},
        {{.most = 4 * 4096, .failAt = 2}, 10 * 4096, 8 * 4096, 2, 2, 4 * 4096, false},
        {{.failAt = 2}, kMB + 1, 3000, 2, 2, kMB, false},  // the bounce buffer's first
    };
    BouncePool pool;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.size << " in blocks of " << row.block);
        MemoryMedium file(pool, row.size, row.script);
        std::string bytes;
        bool failed = false;
        ReadBlocks(file, row.block, bytes, failed);
        EXPECT_EQ(file.chunks, row.chunks);
        EXPECT_EQ(file.uncached, row.uncached);
        EXPECT_TRUE(bytes == Bytes(row.bytes));
        EXPECT_EQ(failed, row.script.failAt != 0);
        EXPECT_EQ(file.ReadThroughCache(), row.throughCache);
    }
}

TEST(RefusesUncached, OnlyWhatMeansTheFileSystemTakesNone) {
#ifdef _WIN32
    // ERROR_INVALID_PARAMETER, _NOT_SUPPORTED, _INVALID_FUNCTION; _ACCESS_DENIED, _FILE_NOT_FOUND
    const std::pair<int, bool> rows[] = {{87, true}, {50, true}, {1, true}, {5, false}, {2, false}};
#else
    const std::pair<int, bool> rows[] = {{EINVAL, true}, {EIO, false}, {EPERM, false}};
#endif
    for (const auto& [code, refuses] : rows)
        EXPECT_EQ(RefusesUncached(code), refuses) << code;
}

}  // namespace
}  // namespace platform
