// The comparison of one source file with its copy, block by block.
#include "engine/check.h"

namespace engine {

namespace {

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
        Finding("[", srcPath, "]：ファイルの読み込みに失敗しました", entry.size,
                Found(FindingKind::kUnreadableEntry, LineInfo::kSource));
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
        Finding(
            "[", dstPath,
            platform::NotThere(error.code) ? "]：コピー先に存在しません"
                                           : "]：ファイルの読み込みに失敗しました",
            entry.size,
            Found(platform::NotThere(error.code) ? FindingKind::kMissing : FindingKind::kReadError,
                  0));
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
        Finding("なぜかコピー元のファイル[", srcPath, "]が開けませんでした", entry.size,
                Found(FindingKind::kSourceUnopenable, LineInfo::kSource));
        return;
    }
    if (src && SameFile(*src, *dst)) {
        Finding("[", dstPath, "]：コピー元と同じファイルです", entry.size,
                Found(FindingKind::kSameFile, 0));
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
        listener_.Verified(0, srcPath.substr(srcRoot_.shown.size()),
                           hash_->Final(digest) ? &digest : nullptr);
}

// A FIFO, socket or device is checked by name: opening or reading one could block.
void Check::CompareByName(const std::string& srcPath, const std::string& dstPath, uint64_t size) {
    if (!fs_.Exists(Io(dstPath)))
        Finding("[", dstPath, "]：コピー先に存在しません", size, Found(FindingKind::kMissing, 0));
    else if (SameEntry(Io(srcPath), Io(dstPath)))
        Finding("[", dstPath, "]：コピー元と同じファイルです", size,
                Found(FindingKind::kSameFile, 0));
    else
        StepTotal(size);
}

// Block by block to the end, the first difference, a failed read or a stop; both files are
// closed by then. Whether they compared equal to the end.
bool Check::CompareContents(std::unique_ptr<platform::InputFile>& src,
                            std::unique_ptr<platform::InputFile>& dst, const std::string& srcPath,
                            const std::string& dstPath, uint64_t total) {
    uint64_t done = 0;
    // The copy's block beside each of the source's.
    auto readCopy = [&](bool srcRead, size_t nSrc) {
        size_t nDst = 0;
        platform::Error dstError;
        bool dstRead = dst->Read(dstBuffer_.get(), settings_.blockBytes, nDst, dstError);
        readThroughCache_ = readThroughCache_ || dst->ReadThroughCache();
        // Whatever the counts say, a block that could not be read was not compared.
        if (!srcRead || !dstRead) {
            SkipRestOfFile(done, total);
            AddPath("[", srcRead ? dstPath : srcPath, "]：ファイルの読み込みに失敗しました",
                    Found(FindingKind::kReadError, srcRead ? 0 : LineInfo::kSource));
            return false;
        }
        if (nSrc != nDst) {
            SkipRestOfFile(done, total);
            AddPath("[", srcPath, "]：ファイルのサイズが異なっています",
                    Found(FindingKind::kSize, 0));
            return false;
        }
        return true;
    };
    End end = ReadBlocks(*src, total, done, readCopy, dstBuffer_.get());
    LineInfo differs = Found(FindingKind::kContent, 0);
    differs.offset = done - 1;  // the differing byte counts as read
    if (end == End::kDiffers)
        SkipRestOfFile(done, total);
    src.reset();
    dst.reset();
    if (end == End::kDiffers)
        AddPath("[", srcPath, "]：ファイルの内容が異なっています", differs);
    return end == End::kEnd;
}

}  // namespace engine
