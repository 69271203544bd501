// The comparison of one source file with its copy, block by block.
#include <algorithm>
#include <cstring>

#include "app/CopyCheckDlg.h"

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

void CCopyCheckDlg::CompareFile(const std::string& srcDir, const std::string& dstDir,
                                const platform::DirEntry& entry) {
    if (m_nDiffCount >= m_nDiffLimit)
        return;
    SetProgress(IDC_FILE_PROGRESS, 0);
    std::string srcPath = srcDir + entry.name;
    std::string dstPath = dstDir + entry.name;
    // A finding before a byte is compared: the file's listed size is done with.
    auto finding = [&](const char* before, const std::string& path, const char* after) {
        AddPathResult(before, path, after);
        ++m_nDiffCount;
        StepTotalProgress(entry.size);
    };
    // Not knowing what the entry is, nothing can be said of its copy: never a pass by name.
    if (entry.unreadable) {
        finding("[", srcPath, "]：ファイルの読み込みに失敗しました");
        return;
    }

    // A FIFO, socket or device is checked by name: opening or reading one could block.
    platform::Error error;
    std::unique_ptr<platform::InputFile> dst;
    bool found;
    if (entry.isRegular) {
        // A copy just written is still in the cache: read back from there, it would compare
        // equal whatever reached the medium.
        dst = OpenFile(Io(dstPath), !m_bCached, error);
        found = dst != nullptr || !platform::NotThere(error.code);
    } else {
        found = m_fs->Exists(Io(dstPath));
    }
    if (!found) {
        finding("[", dstPath, "]：コピー先に存在しません");
        return;
    }
    // There, but not to be opened: locked, denied, unreadable.
    if (entry.isRegular && !dst) {
        finding("[", dstPath, "]：ファイルの読み込みに失敗しました");
        return;
    }
    if (!entry.isRegular) {
        if (SameEntry(Io(srcPath), Io(dstPath)))
            finding("[", dstPath, "]：コピー元と同じファイルです");
        else
            StepTotalProgress(entry.size);
        return;
    }

    const size_t block = size_t{m_nBlockKB} * 1024;
    // A source of several blocks not in the cache is read past it too: its pages would only
    // pass through the cache, at a copy each, and push out what the user keeps there. With
    // names only it is opened to tell what it is, never read.
    std::unique_ptr<platform::InputFile> src = entry.size > block && !m_bCached && !m_bNamesOnly
                                                   ? m_fs->OpenReadOnce(Io(srcPath), error)
                                                   : OpenFile(Io(srcPath), false, error);
    if (!src && !m_bNamesOnly) {
        dst.reset();
        finding("なぜかコピー元のファイル[", srcPath, "]が開けませんでした");
        return;
    }
    if (src && SameFile(*src, *dst)) {
        finding("[", dstPath, "]：コピー元と同じファイルです");
        return;
    }
    if (m_bNamesOnly) {
        StepTotalProgress(entry.size);
        return;
    }

    uint64_t done = 0;
    uint64_t total = entry.size;
    SetProgress(IDC_FILE_PROGRESS, CalcPercent(done, total));
    m_bReadRemote = m_bReadRemote || m_bCopyRemote;
    m_bFetched = m_bFetched || entry.notLocal || dst->NotLocal();

    if (m_hash)
        m_hash->Reset();
    bool equal = false;  // compared to the end
    for (size_t turn = 0;; turn = (turn + 1) % (m_srcRing.size() + 1)) {
        KeepWindowAlive();  // a long file must not freeze the window
        // Stopped mid-file: nothing more of it is compared, and nothing found.
        if (StopRequested())
            break;
        size_t nSrc = 0;
        size_t nDst = 0;
        platform::Error srcError;
        platform::Error dstError;
        // The source's buffers in turn: the last ones may still be being hashed.
        unsigned char* srcBuf = turn == 0 ? m_pSrcBuf.get() : m_srcRing[turn - 1].get();
        bool srcRead = src->Read(srcBuf, block, nSrc, srcError);
        // Hashed while the next blocks are read: the very bytes compared, read once.
        if (m_hash && srcRead)
            m_hash->Add(srcBuf, nSrc);
        bool dstRead = dst->Read(m_pDstBuf.get(), block, nDst, dstError);
        m_bReadThroughCache = m_bReadThroughCache || dst->ReadThroughCache();
        // Whatever the counts say, a block that could not be read was not compared.
        if (!srcRead || !dstRead) {
            SkipRestOfFile(done, total);
            AddPathResult("[", srcRead ? dstPath : srcPath, "]：ファイルの読み込みに失敗しました");
            break;
        }
        if (nSrc != nDst) {
            SkipRestOfFile(done, total);
            AddPathResult("[", srcPath, "]：ファイルのサイズが異なっています");
            break;
        }
        SetProgress(IDC_FILE_PROGRESS, CalcPercent(done, total));
        if (std::memcmp(srcBuf, m_pDstBuf.get(), nSrc) != 0) {
            // The differing byte counts as compared.
            size_t compared = FirstDifference(srcBuf, m_pDstBuf.get(), nSrc) + 1;
            done += compared;
            m_nDoneBytes += compared;
            SkipRestOfFile(done, total);
            src.reset();
            dst.reset();
            AddPathResult("[", srcPath, "]：ファイルの内容が異なっています");
            return;
        }
        done += nSrc;
        m_nDoneBytes += nSrc;
        if (nSrc < block) {
            equal = true;  // a short block is the end of the file
            break;
        }
    }
    SetProgress(IDC_FILE_PROGRESS, CalcPercent(done, total));
    src.reset();
    dst.reset();
    platform::Sha256::Digest digest;
    if (equal && m_hash)
        m_onVerified(srcPath.substr(m_srcRoot.shown.size()),
                     m_hash->Final(digest) ? &digest : nullptr);
}

// Counts the finding and takes the rest of the listed size as done, so that every file
// adds exactly its listed size to the total unless it compares equal.
void CCopyCheckDlg::SkipRestOfFile(uint64_t& done, uint64_t total) {
    ++m_nDiffCount;
    // A file that grew since it was listed can have more bytes compared than listed.
    uint64_t rest = total > done ? total - done : 0;
    done = total;
    SetProgress(IDC_FILE_PROGRESS, CalcPercent(done, total));
    StepTotalProgress(rest);
}

// Through the reads in flight when there are any: the file may be open and read already.
std::unique_ptr<platform::InputFile> CCopyCheckDlg::OpenFile(const std::string& path,
                                                             bool fromMedium,
                                                             platform::Error& error) {
    if (m_stage)
        return m_stage->Open(path, fromMedium, error);
    return fromMedium ? m_fs->OpenReadFromMedium(path, error) : m_fs->OpenRead(path, error);
}
