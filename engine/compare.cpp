// The comparison of one source file with its copy, block by block.
#include <algorithm>
#include <cstring>

#include "engine/check.h"

namespace engine {

namespace {

// The index of the first byte where a and b differ; they are known to differ somewhere.
size_t FirstDifference(const unsigned char* a, const unsigned char* b, size_t n) {
    // memcmp narrows it to a chunk, so the byte loop runs over one chunk at most.
    constexpr size_t kChunk = 4096;
    size_t start = 0;
    while (n - start > kChunk && std::memcmp(a + start, b + start, kChunk) == 0)
        start += kChunk;
    return static_cast<size_t>(std::mismatch(a + start, a + n, b + start).first - a);
}

// Whether two open files are one. Never a guess: a file that cannot say what it is is not
// the other.
bool SameFile(const platform::InputFile& a, const platform::InputFile& b) {
    platform::FileIdentity idA, idB;
    return a.Identity(idA) && b.Identity(idB) && idA == idB;
}

}  // namespace

void Check::CompareFile(const std::string& srcDir, const std::string& dstDir,
                        const platform::DirEntry& entry) {
    if (LimitReached())
        return;
    SetMeter(Meter::kFile, 0);
    std::string srcPath = srcDir + entry.name;
    std::string dstPath = dstDir + entry.name;
    // Not knowing what the entry is, nothing can be said of its copy: never a pass by name.
    if (entry.unreadable) {
        Finding("[", srcPath, "]：ファイルの読み込みに失敗しました", entry.size);
        return;
    }
    if (!entry.isRegular) {
        CompareByName(srcPath, dstPath, entry.size);
        return;
    }

    // A copy just written is still in the cache: read back from there, it would compare
    // equal whatever reached the medium.
    platform::Error error;
    std::unique_ptr<platform::InputFile> dst = OpenFile(Io(dstPath), !settings_.cached, error);
    if (!dst) {
        // There, but not to be opened: locked, denied, unreadable.
        Finding("[", dstPath,
                platform::NotThere(error.code) ? "]：コピー先に存在しません"
                                               : "]：ファイルの読み込みに失敗しました",
                entry.size);
        return;
    }
    // A source of several blocks not in the cache is read past it too: its pages would only
    // pass through the cache, at a copy each, and push out what the user keeps there. With
    // names only it is opened to tell what it is, never read.
    const bool namesOnly = settings_.namesOnly;
    std::unique_ptr<platform::InputFile> src =
        entry.size > settings_.blockBytes && !settings_.cached && !namesOnly
            ? fs_.OpenReadOnce(Io(srcPath), error)
            : OpenFile(Io(srcPath), false, error);
    if (!src && !namesOnly) {
        dst.reset();
        Finding("なぜかコピー元のファイル[", srcPath, "]が開けませんでした", entry.size);
        return;
    }
    if (src && SameFile(*src, *dst)) {
        Finding("[", dstPath, "]：コピー元と同じファイルです", entry.size);
        return;
    }
    if (namesOnly) {
        StepTotal(entry.size);
        return;
    }
    readRemote_ = readRemote_ || copyRemote_;
    fetched_ = fetched_ || entry.notLocal || dst->NotLocal();
    platform::Sha256::Digest digest;
    if (CompareContents(src, dst, srcPath, dstPath, entry.size) && hash_)
        listener_.Verified(srcPath.substr(srcRoot_.shown.size()),
                           hash_->Final(digest) ? &digest : nullptr);
}

// A FIFO, socket or device is checked by name: opening or reading one could block.
void Check::CompareByName(const std::string& srcPath, const std::string& dstPath, uint64_t size) {
    if (!fs_.Exists(Io(dstPath)))
        Finding("[", dstPath, "]：コピー先に存在しません", size);
    else if (SameEntry(Io(srcPath), Io(dstPath)))
        Finding("[", dstPath, "]：コピー元と同じファイルです", size);
    else
        StepTotal(size);
}

// Block by block to the end, the first difference, a failed read or a stop; both files are
// closed by then. Whether they compared equal to the end.
bool Check::CompareContents(std::unique_ptr<platform::InputFile>& src,
                            std::unique_ptr<platform::InputFile>& dst, const std::string& srcPath,
                            const std::string& dstPath, uint64_t total) {
    const size_t block = settings_.blockBytes;
    uint64_t done = 0;
    SetMeter(Meter::kFile, CalcPercent(done, total));
    if (hash_)
        hash_->Reset();
    bool equal = false;  // compared to the end
    for (size_t turn = 0;; turn = (turn + 1) % (srcRing_.size() + 1)) {
        listener_.Pulse();  // a long file must not freeze the window
        // Stopped mid-file: nothing more of it is compared, and nothing found.
        if (StopRequested())
            break;
        size_t nSrc = 0;
        size_t nDst = 0;
        platform::Error srcError;
        platform::Error dstError;
        // The source's buffers in turn: the last ones may still be being hashed.
        unsigned char* srcBuf = turn == 0 ? srcBuffer_.get() : srcRing_[turn - 1].get();
        bool srcRead = src->Read(srcBuf, block, nSrc, srcError);
        // Hashed while the next blocks are read: the very bytes compared, read once.
        if (hash_ && srcRead)
            hash_->Add(srcBuf, nSrc);
        bool dstRead = dst->Read(dstBuffer_.get(), block, nDst, dstError);
        readThroughCache_ = readThroughCache_ || dst->ReadThroughCache();
        // Whatever the counts say, a block that could not be read was not compared.
        if (!srcRead || !dstRead) {
            SkipRestOfFile(done, total);
            AddPath("[", srcRead ? dstPath : srcPath, "]：ファイルの読み込みに失敗しました");
            break;
        }
        if (nSrc != nDst) {
            SkipRestOfFile(done, total);
            AddPath("[", srcPath, "]：ファイルのサイズが異なっています");
            break;
        }
        SetMeter(Meter::kFile, CalcPercent(done, total));
        if (std::memcmp(srcBuf, dstBuffer_.get(), nSrc) != 0) {
            // The differing byte counts as compared.
            size_t compared = FirstDifference(srcBuf, dstBuffer_.get(), nSrc) + 1;
            done += compared;
            doneBytes_ += compared;
            SkipRestOfFile(done, total);
            src.reset();
            dst.reset();
            AddPath("[", srcPath, "]：ファイルの内容が異なっています");
            return false;
        }
        done += nSrc;
        doneBytes_ += nSrc;
        if (nSrc < block) {
            equal = true;  // a short block is the end of the file
            break;
        }
    }
    SetMeter(Meter::kFile, CalcPercent(done, total));
    src.reset();
    dst.reset();
    return equal;
}

// A finding before a byte is compared: the file's listed size is done with.
void Check::Finding(const std::string& before, const std::string& path, const std::string& after,
                    uint64_t size) {
    AddPath(before, path, after);
    ++differences_;
    StepTotal(size);
}

// Counts the finding and takes the rest of the listed size as done, so that every file
// adds exactly its listed size to the total unless it compares equal.
void Check::SkipRestOfFile(uint64_t& done, uint64_t total) {
    ++differences_;
    // A file that grew since it was listed can have more bytes compared than listed.
    uint64_t rest = total > done ? total - done : 0;
    done = total;
    SetMeter(Meter::kFile, CalcPercent(done, total));
    StepTotal(rest);
}

// Through the reads in flight when there are any: the file may be open and read already.
std::unique_ptr<platform::InputFile> Check::OpenFile(const std::string& path, bool fromMedium,
                                                     platform::Error& error) {
    if (stage_)
        return stage_->Open(path, fromMedium, error);
    return fromMedium ? fs_.OpenReadFromMedium(path, error) : fs_.OpenRead(path, error);
}

}  // namespace engine
