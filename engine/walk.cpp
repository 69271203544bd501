// The two walks over the source tree: the size scan and the check of every file.
//
// Both keep their own stack of directories instead of recursing, and read each listing in
// one pass before handling its first entry: no depth can exhaust the call stack or the
// process's handles. A directory that is already on the path being walked (a link back to
// an ancestor) is not entered again, or the walk would never end.
#include <algorithm>
#include <optional>

#include "app/CopyCheckDlg.h"
#include "platform/dirs.h"
#include "scheduling/list_ahead.h"

namespace {

void AddSeparator(std::string& path) {
    if (path.empty() || path.back() != platform::kSeparator)
        path += platform::kSeparator;
}

// A directory on the path being walked.
struct Level {
    std::vector<platform::DirEntry> entries;
    size_t next = 0;  // the entry to handle next
    platform::FileId id;
    bool hasId = false;
    std::optional<std::string> resolved;  // found when a loop is suspected
    size_t srcLength = 0;                 // where its paths end, separator included
    size_t dstLength = 0;
    size_t plannedTo = 0;  // the entries before it are planned to be read ahead
};

bool HasId(const platform::DirEntry& entry) {
    return entry.hasId && (entry.id.index != 0 || entry.id.indexHigh != 0);
}

// Whether the directory at path, the entry of the deepest level, is one of the levels being
// walked, whose paths are prefixes of path. Identities alone can collide (file systems that
// reuse or lack them), so a match is confirmed by the resolved paths; without an identity
// the paths alone decide.
bool OnPath(platform::FileSystem& fs, std::vector<Level>& levels, const platform::DirEntry& entry,
            const std::string& path, const std::string& io) {
    std::optional<std::string> mine;
    platform::Error error;
    for (Level& level : levels) {
        bool sameId = HasId(entry) && level.hasId && level.id == entry.id;
        if (!sameId && HasId(entry))
            continue;
        if (!mine) {
            mine.emplace();
            if (!fs.Resolve(io, *mine, error))
                return sameId;  // nothing better to go by
        }
        if (!level.resolved) {
            level.resolved.emplace();
            if (!fs.Resolve(io.substr(0, io.size() - path.size() + level.srcLength),
                            *level.resolved, error))
                level.resolved->clear();
        }
        if (level.resolved->empty() ? sameId : *level.resolved == *mine)
            return true;
    }
    return false;
}

Level LevelOf(const platform::DirEntry& entry) {
    Level level;
    level.id = entry.id;
    level.hasId = HasId(entry);
    return level;
}

}  // namespace

// Whether the two paths lead to one entry: one identity, confirmed by the resolved paths, as
// identities alone can collide (a cloned disk keeps its original's). Never a guess: what
// cannot be identified or resolved is not the other.
bool CCopyCheckDlg::SameEntry(const std::string& a, const std::string& b) {
    platform::FileId idA, idB;
    std::string pathA, pathB;
    platform::Error error;
    return m_fs->Identify(a, idA, error) && m_fs->Identify(b, idB, error) && idA == idB &&
           m_fs->Resolve(a, pathA, error) && m_fs->Resolve(b, pathB, error) && pathA == pathB;
}

// The copy's root is passed over where it lies inside the source (a backup disk mounted below
// the directory checked), known by its identity.
void CCopyCheckDlg::FindCopyRoot(const std::string& dstDir) {
    platform::Error error;
    m_copyIo = dstDir.empty() ? "" : RootOf(dstDir).io;
    m_bCopyIdKnown = !dstDir.empty() && m_fs->Identify(m_copyIo, m_copyId, error);
}

bool CCopyCheckDlg::IsCopyRoot(const platform::DirEntry& entry, const std::string& io) {
    return m_bCopyIdKnown && HasId(entry) && entry.id == m_copyId && SameEntry(io, m_copyIo);
}

// The path the file system is asked for: the root's io form and the names after it.
std::string CCopyCheckDlg::Io(const std::string& shown) const {
    for (const Root* root : {&m_srcRoot, &m_dstRoot})
        if (root->shown != root->io && shown.starts_with(root->shown))
            return root->io + shown.substr(root->shown.size());
    return shown;
}

CCopyCheckDlg::Root CCopyCheckDlg::RootOf(std::string dir) {
    AddSeparator(dir);
    return {dir, platform::RunRoot(dir)};
}

// Keeps a listing the scan is done with for the walk, while the kept ones stay small.
void CCopyCheckDlg::KeepListing(const std::string& dir, std::vector<platform::DirEntry>& entries) {
    size_t bytes = platform::ListingBytes(entries);
    if (m_nScannedBytes + bytes > kKeptListings)
        return;
    m_nScannedBytes += bytes;
    m_scanned[dir] = std::move(entries);
}

void CCopyCheckDlg::DropKeptListings() {
    std::unordered_map<std::string, std::vector<platform::DirEntry>>().swap(m_scanned);
    m_nScannedBytes = 0;
}

void CCopyCheckDlg::CheckTotalSize(std::string dir) {
    m_srcRoot = RootOf(dir);
    FindCopyRoot(m_strDstPath);
    DropKeptListings();
    scheduling::ListAhead ahead(*m_fs, [this] { KeepWindowAlive(); });
    std::vector<Level> levels;
    auto enter = [&](Level level, bool root) {
        AddSeparator(dir);
        platform::Error error;
        if (root)
            level.hasId = m_fs->Identify(Io(dir), level.id, error);
        if (!ahead.List(Io(dir), level.entries)) {
            AddPathResult("CheckTotalSize:ディレクトリ[", dir,
                          "]にアクセスできませんでした\r\nこのディレクトリは無視されます");
            return;
        }
        if (m_bReadAhead) {
            std::vector<std::string> subdirs;
            for (const platform::DirEntry& entry : level.entries)
                if (entry.isDir)
                    subdirs.push_back(Io(dir + entry.name + platform::kSeparator));
            if (!subdirs.empty())
                ahead.Plan(std::move(subdirs));
        }
        level.srcLength = dir.size();
        levels.push_back(std::move(level));
    };

    enter(Level(), true);
    while (!levels.empty() && !StopRequested()) {
        KeepWindowAlive();
        Level& level = levels.back();
        dir.resize(level.srcLength);
        if (level.next == level.entries.size()) {
            KeepListing(dir, level.entries);
            levels.pop_back();
            continue;
        }
        const platform::DirEntry& entry = level.entries[level.next++];
        if (!entry.isDir) {
            m_nTotalBytes += entry.size;
            continue;
        }
        dir += entry.name;
        // The walk does not enter it either, so the total stays what the walk deals with.
        if (!IsCopyRoot(entry, Io(dir)) && !OnPath(*m_fs, levels, entry, dir, Io(dir)))
            enter(LevelOf(entry), false);
    }
}

void CCopyCheckDlg::CheckDirectory(std::string srcDir, std::string dstDir) {
    m_srcRoot = RootOf(srcDir);
    m_dstRoot = RootOf(dstDir);
    FindCopyRoot(dstDir);
    m_bCopyRemote = !m_bNamesOnly && m_fs->IsRemote(m_dstRoot.io);
    std::vector<Level> levels;
    auto enter = [&](Level level, bool root) {
        if (m_nDiffCount >= m_nDiffLimit)
            return;
        AddSeparator(srcDir);
        AddSeparator(dstDir);
        AddPathResult("Diredtory [ ", srcDir, " ]", LineKind::kDirectory);
        // Its files would each be compared with themselves.
        if (SameEntry(Io(srcDir), Io(dstDir))) {
            AddPathResult("[", dstDir, "]：コピー元と同じディレクトリです");
            ++m_nDiffCount;
            return;
        }
        platform::Error error;
        if (root)
            level.hasId = m_fs->Identify(Io(srcDir), level.id, error);
        if (auto kept = m_scanned.find(srcDir); kept != m_scanned.end()) {
            level.entries = std::move(kept->second);
            m_scanned.erase(kept);
        } else if (!platform::ListOrNothing(*m_fs, Io(srcDir), level.entries)) {
            AddPathResult("ディレクトリ[", srcDir,
                          "]にアクセスできませんでした\r\nこのディレクトリは無視されます");
            ++m_nDiffCount;
            return;
        }
        level.srcLength = srcDir.size();
        level.dstLength = dstDir.size();
        levels.push_back(std::move(level));
    };

    if (m_nDiffCount >= m_nDiffLimit)
        return;
    m_stage.reset();
    m_hash.reset();
    m_srcRing.clear();
    const size_t block = size_t{m_nBlockKB} * 1024;
    if (m_onVerified && !m_bNamesOnly) {
        // More buffers for the source, taken in turn, so that reading need not wait for the
        // hash of the block before; they come out of what the reads in flight may hold.
        while (m_srcRing.size() < scheduling::HashBehind::DepthFor(block)) {
            platform::AlignedBuffer buffer = m_allocate(block);
            if (!buffer)
                break;
            m_srcRing.push_back(std::move(buffer));
        }
        m_hash = std::make_unique<scheduling::HashBehind>(m_srcRing.size());
    }
    if (m_bReadAhead && !m_bNamesOnly) {
        m_stage = std::make_unique<scheduling::ReadAhead>(
            *m_fs, block,
            scheduling::ReadAhead::kBudget - m_srcRing.size() * block - m_nScannedBytes);
    }
    enter(Level(), true);
    while (!levels.empty() && !StopRequested()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            continue;
        }
        srcDir.resize(level.srcLength);
        dstDir.resize(level.dstLength);
        if (m_stage && level.next >= level.plannedTo && m_nDiffCount < m_nDiffLimit)
            level.plannedTo = PlanReads(level.entries, level.next, srcDir, dstDir);
        platform::DirEntry entry = std::move(level.entries[level.next++]);
        if (entry.isDir) {
            ++m_nDirCount;
            srcDir += entry.name;
            dstDir += entry.name;
            bool copy = IsCopyRoot(entry, Io(srcDir));
            if (!copy && !OnPath(*m_fs, levels, entry, srcDir, Io(srcDir))) {
                enter(LevelOf(entry), false);
            } else if (m_nDiffCount < m_nDiffLimit) {
                AddSeparator(srcDir);
                AddPathResult("ディレクトリ[", srcDir,
                              copy ? "]はコピー先のため、無視されます"
                                   : "]は上位のディレクトリと同じため、無視されます");
            }
        } else {
            AddPathResult("File [", srcDir + entry.name, "]", LineKind::kFile);
            ++m_nFileCount;
            CompareFile(srcDir, dstDir, entry);
            SetProgress(IDC_TOTAL_PROGRESS, CalcPercent(m_nDoneBytes, m_nTotalBytes));
        }
    }
    m_stage.reset();
    m_hash.reset();
    m_srcRing.clear();
}

// The small files of a listing from entry `from` up to its next directory, whose whole
// subtree comes first, are read ahead on both sides; the index of that directory.
size_t CCopyCheckDlg::PlanReads(const std::vector<platform::DirEntry>& entries, size_t from,
                                const std::string& srcDir, const std::string& dstDir) {
    std::vector<scheduling::ReadAhead::Planned> files;
    size_t to = from;
    for (; to < entries.size() && !entries[to].isDir; ++to) {
        const platform::DirEntry& e = entries[to];
        // A file of several blocks gains nothing from its first one read early: measured,
        // its two sides then compete for the device and the check is slower.
        if (!e.isRegular || e.unreadable || e.size > size_t{m_nBlockKB} * 1024)
            continue;
        files.push_back({Io(dstDir + e.name), !m_bCached, e.size});
        files.push_back({Io(srcDir + e.name), false, e.size});
    }
    m_stage->Plan(std::move(files));
    return std::max(to, from + 1);
}
