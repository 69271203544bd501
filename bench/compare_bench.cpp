// The engine's block comparison against plain memcmp over the same buffers.
//
// The engine compares inside CCopyCheckDlg::CompareFile, so that is what is measured: one
// file of equal blocks, read from a file system whose reads cost nothing (the buffers are
// filled once, and a read only reports a full block), against memcmp over the same two
// buffers as often. What is left over is the engine's own work per block.
#include <benchmark/benchmark.h>

#include <cstring>

#include "app/CopyCheckDlg.h"
#include "framework/headless/headless.h"
#include "platform/medium.h"

namespace {

constexpr uint64_t kFileBytes = 64ull << 20;

class FreeReads : public platform::InputFile {
public:
    bool Read(void*, size_t n, size_t& got, platform::Error&) override {
        got = static_cast<size_t>(std::min<uint64_t>(n, m_left));
        m_left -= got;
        return true;
    }

private:
    uint64_t m_left = kFileBytes;
};

class FreeFileSystem : public platform::FileSystem {
public:
    bool List(const std::string&, std::vector<platform::DirEntry>&, platform::Error&) override {
        return false;
    }
    std::unique_ptr<platform::InputFile> OpenRead(const std::string&, platform::Error&) override {
        return std::make_unique<FreeReads>();
    }
    bool Exists(const std::string&) override { return true; }
    bool Identify(const std::string&, platform::FileId&, platform::Error&) override {
        return false;
    }
};

// The window's buffers, filled with the same bytes.
platform::AlignedBuffer Filled(size_t bytes) {
    platform::AlignedBuffer buffer = platform::AllocateAligned(bytes);
    for (size_t i = 0; i < bytes; ++i)
        buffer[i] = static_cast<unsigned char>(i * 7 + i / 251);
    return buffer;
}

void EngineCompare(benchmark::State& state) {
    size_t block = static_cast<size_t>(state.range(0)) << 10;
    FreeFileSystem fs;
    CCopyCheckDlg dlg;
    dlg.Create();
    dlg.SetFileSystem(fs);
    dlg.m_nBlockKB = static_cast<unsigned>(state.range(0));
    dlg.m_nDiffLimit = 1;
    dlg.m_pSrcBuf = Filled(block);
    dlg.m_pDstBuf = Filled(block);
    dlg.m_nTotalBytes = kFileBytes;
    platform::DirEntry entry;
    entry.name = "f";
    entry.isRegular = true;
    entry.size = kFileBytes;
    for (auto _ : state) {
        dlg.m_nDoneBytes = 0;
        dlg.CompareFile("s/", "d/", entry);
    }
    if (dlg.m_nDiffCount != 0)
        state.SkipWithError("the blocks compared unequal");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
    dlg.DestroyWindow();
}

void PlainMemcmp(benchmark::State& state) {
    size_t block = static_cast<size_t>(state.range(0)) << 10;
    auto a = Filled(block);
    auto b = Filled(block);
    for (auto _ : state) {
        for (uint64_t done = 0; done < kFileBytes; done += block) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(block, kFileBytes - done));
            int result = std::memcmp(a.get(), b.get(), n);
            benchmark::DoNotOptimize(result);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

// 1 KiB is the smallest block the window takes, 1024 its default, 10240 its largest.
BENCHMARK(EngineCompare)->Arg(1)->Arg(64)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainMemcmp)->Arg(1)->Arg(64)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
