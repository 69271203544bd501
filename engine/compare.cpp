// The comparison of one source file with its copies, block by block: the source is read once,
// and each of its blocks compared with the same block of every copy still alike so far.
#include <algorithm>
#include <cstring>

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

void Check::CompareFile(const std::string& srcDir, const platform::DirEntry& entry,
                        const Copies& compared) {
    if (compared.empty())
        return;
    SetMeter(Meter::kFile, 0);
    std::string srcPath = srcDir + entry.name;
    // Not knowing what the entry is, nothing can be said of its copy: never a pass by name.
    if (entry.unreadable) {
        Report("[", srcPath, "]：ファイルの読み込みに失敗しました",
               Found(FindingKind::kUnreadableEntry, LineInfo::kSource), compared);
    } else if (!entry.isRegular) {
        CompareByName(srcPath, compared);
    } else if (Copies open = OpenCopies(srcPath, compared); !open.empty()) {
        CompareOpen(srcPath, entry, open);
        return;
    }
    StepTotal(entry.size);
}

// Each copy's file opened; one that cannot be is a finding. The copies open.
Check::Copies Check::OpenCopies(const std::string& srcPath, const Copies& compared) {
    Copies open;
    for (size_t copy : compared) {
        std::string dstPath = CopyPath(copy, srcPath);
        // A copy just written is still in the cache: read back from there, it would compare
        // equal whatever reached the medium.
        platform::Error error;
        copies_[copy].file = OpenFile(Io(dstPath), !settings_.cached, error);
        if (copies_[copy].file) {
            open.push_back(copy);
            continue;
        }
        // There, but not to be opened: locked, denied, unreadable.
        bool absent = platform::NotThere(error.code);
        Report("[", dstPath,
               absent ? "]：コピー先に存在しません" : "]：ファイルの読み込みに失敗しました",
               Found(absent ? FindingKind::kMissing : FindingKind::kReadError, copy), {});
    }
    return open;
}

// The source opened beside the copies open, told apart from them, and compared with them.
void Check::CompareOpen(const std::string& srcPath, const platform::DirEntry& entry, Copies open) {
    // A source of several blocks not in the cache is read past it too: its pages would only
    // pass through the cache, at a copy each, and push out what the user keeps there. With
    // names only it is opened to tell what it is, never read.
    const bool namesOnly = settings_.namesOnly;
    platform::Error error;
    std::unique_ptr<platform::InputFile> src =
        entry.size > settings_.blockBytes && !settings_.cached && !namesOnly
            ? fs_.OpenReadOnce(Io(srcPath), error)
            : OpenFile(Io(srcPath), false, error);
    if (!src && !namesOnly) {
        CloseCopies(open);
        Report("なぜかコピー元のファイル[", srcPath, "]が開けませんでした",
               Found(FindingKind::kSourceUnopenable, LineInfo::kSource), open);
        StepTotal(entry.size);
        return;
    }
    Copies other;
    for (size_t copy : open) {
        if (src && SameFile(*src, *copies_[copy].file)) {
            copies_[copy].file.reset();
            Report("[", CopyPath(copy, srcPath), "]：コピー元と同じファイルです",
                   Found(FindingKind::kSameFile, copy), {});
        } else if (!namesOnly) {
            other.push_back(copy);
            readRemote_ = readRemote_ || copies_[copy].remote;
            fetched_ = fetched_ || entry.notLocal || copies_[copy].file->NotLocal();
        }
    }
    if (other.empty()) {
        CloseCopies(open);
        StepTotal(entry.size);
        return;
    }
    Copies equal = CompareContents(src, srcPath, std::move(other), entry.size);
    platform::Sha256::Digest digest;
    if (!equal.empty() && hash_) {
        bool hashed = hash_->Final(digest);
        for (size_t copy : equal)
            listener_.Verified(copy, srcPath.substr(srcRoot_.shown.size()),
                               hashed ? &digest : nullptr);
    }
}

// A FIFO, socket or device is checked by name: opening or reading one could block.
void Check::CompareByName(const std::string& srcPath, const Copies& compared) {
    for (size_t copy : compared) {
        std::string dstPath = CopyPath(copy, srcPath);
        if (!fs_.Exists(Io(dstPath)))
            Report("[", dstPath, "]：コピー先に存在しません", Found(FindingKind::kMissing, copy),
                   {});
        else if (SameEntry(Io(srcPath), Io(dstPath)))
            Report("[", dstPath, "]：コピー元と同じファイルです",
                   Found(FindingKind::kSameFile, copy), {});
    }
}

void Check::CloseCopies(const Copies& open) {
    for (size_t copy : open)
        copies_[copy].file.reset();
}

// Block by block to the end, a failed read of the source, a stop, or until no copy is alike so
// far; every file is closed by then. The copies that compared equal to the end.
Check::Copies Check::CompareContents(std::unique_ptr<platform::InputFile>& src,
                                     const std::string& srcPath, Copies live, uint64_t total) {
    uint64_t done = 0;
    bool copiesRead = false;  // beside the source's block
    auto readCopy = [&](size_t copy) {
        Copy& c = copies_[copy];
        platform::Error error;
        c.read = c.file->Read(c.buffer.get(), settings_.blockBytes, c.got, error);
    };
    // With several copies, on media of their own, the source's block and each copy's are read
    // at once when large enough to be worth a thread's waking.
    auto beside = [&](const std::function<void()>& readSource) {
        uint64_t next = std::min<uint64_t>(settings_.blockBytes, total - std::min(done, total));
        copiesRead = sideBySide_ && next >= kSideBySide;
        if (!copiesRead)
            return readSource();
        sideBySide_->Run(live.size() + 1, [&](size_t i) {
            if (i == 0)
                readSource();
            else
                readCopy(live[i - 1]);
        });
    };
    auto onBlock = [&](bool srcRead, const unsigned char* data, size_t length) -> Step {
        if (!srcRead) {
            Report("[", srcPath, "]：ファイルの読み込みに失敗しました",
                   Found(FindingKind::kReadError, LineInfo::kSource), live);
            CloseCopies(live);
            live.clear();
            return {0, false};
        }
        if (!copiesRead)
            std::for_each(live.begin(), live.end(), readCopy);
        size_t differsAt = 0;  // past the last differing byte of the copies left here
        std::erase_if(live, [&](size_t copy) {
            if (CompareBlock(copy, srcPath, data, length, done, differsAt))
                return false;
            copies_[copy].file.reset();
            return true;
        });
        // With none left the rest is not read; a differing byte counts as read.
        return {live.empty() ? differsAt : length, !live.empty()};
    };
    // One copy is read after the source's block on this thread alone.
    End end = ReadBlocks(*src, total, done, onBlock, sideBySide_ ? Beside(beside) : Beside());
    if (end == End::kCut)
        SkipRestOfFile(done, total);
    src.reset();
    CloseCopies(live);
    return end == End::kEnd ? live : Copies();
}

// The copy's block, read, beside the source's, data, which begins at byte `at` of the file;
// whether they are alike. One that is not is a finding, and differsAt is moved past its
// differing byte.
bool Check::CompareBlock(size_t copy, const std::string& srcPath, const unsigned char* data,
                         size_t length, uint64_t at, size_t& differsAt) {
    Copy& c = copies_[copy];
    const bool read = c.read;
    const size_t n = c.got;
    readThroughCache_ = readThroughCache_ || c.file->ReadThroughCache();
    if (read && n == length && std::memcmp(data, c.buffer.get(), length) == 0)
        return true;
    const std::string dstPath = CopyPath(copy, srcPath);
    // Whatever the counts say, a block that could not be read was not compared.
    if (!read) {
        Report("[", dstPath, "]：ファイルの読み込みに失敗しました",
               Found(FindingKind::kReadError, copy), {});
    } else if (n != length) {
        Report("[", Named(srcPath, dstPath), "]：ファイルのサイズが異なっています",
               Found(FindingKind::kSize, copy), {});
    } else {
        size_t first = FirstDifference(data, c.buffer.get(), length);
        LineInfo info = Found(FindingKind::kContent, copy);
        info.offset = at + first;
        Report("[", Named(srcPath, dstPath), "]：ファイルの内容が異なっています", info, {});
        differsAt = std::max(differsAt, first + 1);
    }
    return false;
}

}  // namespace engine
