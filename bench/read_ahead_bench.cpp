// The reads in flight over warm small files, with and without the second reader.
//
// A tree of small files a side, in the page cache, is read as a check with --cached reads
// it: each directory's files planned as pairs (copy, source), then each pair opened through
// the stage, read to its end and compared. What the second reader gains is the difference.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/fs.h"
#include "platform/medium.h"
#include "scheduling/read_ahead.h"

namespace {

constexpr int kDirs = 50;
constexpr int kFilesPerDir = 100;
constexpr size_t kBlock = size_t{1} << 20;

struct Pair {
    std::string src, dst;
    uint64_t size;
};

// A directory's files, both sides.
using Tree = std::vector<std::vector<Pair>>;

std::string Contents(int dir, int file, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(dir * 31 + file * 7 + i / 13);
    return bytes;
}

// Made once in a new directory under the system's temporary one: 1, 2 or 4 KiB a file,
// just written and so in the cache.
const Tree& SmallTree() {
    static const Tree tree = [] {
        namespace fs = std::filesystem;
        fs::path root = fs::temp_directory_path() / "copycheck-read-ahead-bench";
        fs::remove_all(root);
        Tree made(kDirs);
        for (int d = 0; d < kDirs; ++d) {
            for (const char* side : {"src", "dst"})
                fs::create_directories(root / side / std::to_string(d));
            for (int f = 0; f < kFilesPerDir; ++f) {
                size_t size = size_t{1024} << (f % 3);
                std::string name = std::to_string(d) + "/" + std::to_string(f);
                Pair pair{(root / "src" / name).string(), (root / "dst" / name).string(), size};
                for (const std::string& path : {pair.src, pair.dst})
                    std::ofstream(path, std::ios::binary) << Contents(d, f, size);
                made[d].push_back(pair);
            }
        }
        return made;
    }();
    return tree;
}

size_t ReadAll(platform::InputFile& file, unsigned char* buf) {
    size_t got = 0;
    platform::Error error;
    if (!file.Read(buf, kBlock, got, error))
        throw std::runtime_error("read failed: " + error.path);
    return got;
}

// One check's reads: a stage of its own, as a run has.
void ReadTree(const Tree& tree, bool secondReader, unsigned char* a, unsigned char* b) {
    platform::FileSystem& fs = platform::RealFileSystem();
    scheduling::ReadAhead stage(fs, kBlock, scheduling::ReadAhead::kBudget, 8, secondReader);
    platform::Error error;
    for (const std::vector<Pair>& dir : tree) {
        std::vector<scheduling::ReadAhead::Planned> plan;
        for (const Pair& p : dir) {
            plan.push_back({p.dst, false, p.size});
            plan.push_back({p.src, false, p.size});
        }
        stage.Plan(std::move(plan));
        for (const Pair& p : dir) {
            auto dst = stage.Open(p.dst, false, error);
            auto src = stage.Open(p.src, false, error);
            if (!dst || !src)
                throw std::runtime_error("open failed: " + error.path);
            size_t got = ReadAll(*dst, a);
            if (ReadAll(*src, b) != got || std::memcmp(a, b, got) != 0)
                throw std::runtime_error("differs: " + p.src);
        }
    }
}

void BM_WarmSmallFiles(benchmark::State& state) {
    const Tree& tree = SmallTree();
    platform::AlignedBuffer a = platform::AllocateAligned(kBlock);
    platform::AlignedBuffer b = platform::AllocateAligned(kBlock);
    for (auto _ : state)
        ReadTree(tree, state.range(0) != 0, a.get(), b.get());
    state.SetItemsProcessed(state.iterations() * kDirs * kFilesPerDir * 2);
}
BENCHMARK(BM_WarmSmallFiles)
    ->ArgName("second")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
