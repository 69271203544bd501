// The engine's block comparison against plain memcmp over the same buffers.
//
// A check of files of equal blocks is measured, read from a file system whose reads cost
// nothing (a read only reports a full block), against memcmp over two buffers as often.
// What is left over is the engine's own work per block, and its zeroed buffers once a check.
// The same check against two copies counts the source's bytes read: once, not twice.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>

#include "engine/check.h"
#include "platform/medium.h"

namespace {

constexpr uint64_t kFileBytes = 64ull << 20;
constexpr size_t kFiles = 16;  // a check's buffers are taken once for all of them

class FreeReads : public platform::InputFile {
public:
    explicit FreeReads(std::atomic<uint64_t>* record) : m_record(record) {}
    bool Read(void*, size_t n, size_t& got, platform::Error&) override {
        got = static_cast<size_t>(std::min<uint64_t>(n, m_left));
        m_left -= got;
        if (m_record)
            *m_record += got;
        return true;
    }

private:
    uint64_t m_left = kFileBytes;
    std::atomic<uint64_t>* m_record;  // the bytes read of the source, or null
};

class FreeFileSystem : public platform::FileSystem {
public:
    // The files at the root.
    bool List(const std::string&, std::vector<platform::DirEntry>& entries,
              platform::Error&) override {
        entries.assign(kFiles, {});
        for (size_t i = 0; i < kFiles; ++i) {
            // A number alone: "f" + number trips a false warning of GCC 12 at -O3.
            entries[i].name = std::to_string(i);
            entries[i].isRegular = true;
            entries[i].size = kFileBytes;
        }
        return true;
    }
    std::unique_ptr<platform::InputFile> OpenRead(const std::string& path,
                                                  platform::Error&) override {
        return std::make_unique<FreeReads>(path.starts_with("s/") ? &sourceRead : nullptr);
    }
    bool Exists(const std::string&) override { return true; }
    bool Identify(const std::string&, platform::FileId&, platform::Error&) override {
        return false;
    }
    std::atomic<uint64_t> sourceRead{0};
};

// Two buffers filled with the same bytes.
platform::AlignedBuffer Filled(size_t bytes) {
    platform::AlignedBuffer buffer = platform::AllocateAligned(bytes);
    for (size_t i = 0; i < bytes; ++i)
        buffer[i] = static_cast<unsigned char>(i * 7 + i / 251);
    return buffer;
}

class Differences : public engine::Listener {
public:
    void Line(const std::string& text, const engine::LineInfo&) override {
        different = different || text.ends_with("：ファイルの内容が異なっています");
    }
    bool different = false;
};

// Arguments: the block in KiB, the number of copies.
void EngineCompare(benchmark::State& state) {
    FreeFileSystem fs;
    Differences listener;
    engine::Settings settings;
    settings.source = "s";
    const char* copies[] = {"d0", "d1"};
    settings.copies.assign(copies, copies + state.range(1));
    settings.blockBytes = static_cast<size_t>(state.range(0)) << 10;
    settings.readAhead = false;
    settings.allocate = [](size_t bytes) {
        platform::AlignedBuffer buffer = platform::AllocateAligned(bytes);
        std::memset(buffer.get(), 0, bytes);
        return buffer;
    };
    for (auto _ : state)
        engine::Check(settings, fs, listener).Run();
    if (listener.different)
        state.SkipWithError("the blocks compared unequal");
    // The source read once per check, whatever the number of copies.
    if (fs.sourceRead != state.iterations() * kFiles * kFileBytes)
        state.SkipWithError("the source was not read exactly once");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFiles * kFileBytes));
}

void PlainMemcmp(benchmark::State& state) {
    size_t block = static_cast<size_t>(state.range(0)) << 10;
    auto a = Filled(block);
    auto b = Filled(block);
    // As many bytes as a check compares: every block of all its files.
    for (auto _ : state) {
        for (size_t file = 0; file < kFiles; ++file) {
            for (uint64_t done = 0; done < kFileBytes; done += block) {
                size_t n = static_cast<size_t>(std::min<uint64_t>(block, kFileBytes - done));
                int result = std::memcmp(a.get(), b.get(), n);
                benchmark::DoNotOptimize(result);
            }
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFiles * kFileBytes));
}

// 1 KiB is the smallest block the window takes, 1024 its default, 10240 its largest.
BENCHMARK(EngineCompare)
    ->ArgsProduct({{1, 64, 1024, 10240}, {1, 2}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(PlainMemcmp)->Arg(1)->Arg(64)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
