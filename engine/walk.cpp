// The two walks over the source tree: the size scan and the check of every file.
//
// Both keep their own stack of directories instead of recursing, and read each listing in
// one pass before handling its first entry: no depth can exhaust the call stack or the
// process's handles. A directory that is already on the path being walked (a link back to
// an ancestor) is not entered again, or the walk would never end.
#include <algorithm>

#include "app/CopyCheckDlg.h"
#include "platform/dirs.h"

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
    size_t srcLength = 0;  // where its paths end, separator included
    size_t dstLength = 0;
};

bool OnPath(const std::vector<Level>& levels, const platform::DirEntry& entry) {
    return entry.hasId && std::any_of(levels.begin(), levels.end(), [&](const Level& level) {
               return level.hasId && level.id == entry.id;
           });
}

Level LevelOf(const platform::DirEntry& entry) {
    Level level;
    level.id = entry.id;
    level.hasId = entry.hasId;
    return level;
}

Level RootLevel(platform::FileSystem& fs, const std::string& dir) {
    Level root;
    platform::Error error;
    root.hasId = fs.Identify(dir, root.id, error);
    return root;
}

}  // namespace

void CCopyCheckDlg::CheckTotalSize(std::string dir) {
    std::vector<Level> levels;
    auto enter = [&](Level level) {
        AddSeparator(dir);
        platform::Error error;
        if (!m_fs->List(dir, level.entries, error)) {
            AddPathResult("CheckTotalSize:ディレクトリ[", dir,
                          "]にアクセスできませんでした\r\nこのディレクトリは無視されます");
            return;
        }
        level.srcLength = dir.size();
        levels.push_back(std::move(level));
    };

    enter(RootLevel(*m_fs, dir));
    while (!levels.empty() && !StopRequested()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            continue;
        }
        const platform::DirEntry& entry = level.entries[level.next++];
        if (!entry.isDir) {
            m_nTotalBytes += entry.size;
        } else if (!OnPath(levels, entry)) {
            // The walk does not enter it either, so the total stays what the walk deals with.
            dir.resize(level.srcLength);
            dir += entry.name;
            enter(LevelOf(entry));
        }
    }
}

void CCopyCheckDlg::CheckDirectory(std::string srcDir, std::string dstDir) {
    std::vector<Level> levels;
    auto enter = [&](Level level) {
        if (m_nDiffCount >= m_nDiffLimit)
            return;
        AddSeparator(srcDir);
        AddSeparator(dstDir);
        AddPathResult("Diredtory [ ", srcDir, " ]", LineKind::kDirectory);
        platform::Error error;
        if (!m_fs->List(srcDir, level.entries, error)) {
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
    enter(RootLevel(*m_fs, srcDir));
    while (!levels.empty() && !StopRequested()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            continue;
        }
        platform::DirEntry entry = std::move(level.entries[level.next++]);
        srcDir.resize(level.srcLength);
        dstDir.resize(level.dstLength);
        if (entry.isDir) {
            ++m_nDirCount;
            srcDir += entry.name;
            dstDir += entry.name;
            if (!OnPath(levels, entry)) {
                enter(LevelOf(entry));
            } else if (m_nDiffCount < m_nDiffLimit) {
                AddSeparator(srcDir);
                AddPathResult("ディレクトリ[", srcDir,
                              "]は上位のディレクトリと同じため、無視されます");
            }
        } else {
            AddPathResult("File [", srcDir + entry.name, "]", LineKind::kFile);
            ++m_nFileCount;
            CompareFile(srcDir, dstDir, entry);
            SetProgress(IDC_TOTAL_PROGRESS, CalcPercent(m_nDoneBytes, m_nTotalBytes));
        }
    }
}
