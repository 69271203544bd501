// The two walks over the source tree: the size scan and the check of every file.
//
// Both keep their own stack of directories instead of recursing, and read each listing in
// one pass before handling its first entry: no depth can exhaust the call stack or the
// process's handles. A directory that is already on the path being walked (a link back to
// an ancestor) is not entered again, or the walk would never end.
#include <algorithm>
#include <optional>

#include "engine/check.h"
#include "platform/dirs.h"
#include "scheduling/list_ahead.h"

namespace engine {

// A directory on the path being walked.
struct WalkLevel {
    std::vector<platform::DirEntry> entries;
    size_t next = 0;  // the entry to handle next
    platform::FileId id;
    bool hasId = false;
    std::optional<std::string> resolved;  // found when a loop is suspected
    size_t srcLength = 0;                 // where its paths end, separator included
    size_t dstLength = 0;
    size_t plannedTo = 0;  // the entries before it are planned to be read ahead
    // Its entries' names, sorted, when extras are looked for.
    std::vector<std::string> names;
};

namespace {

using Level = WalkLevel;

void AddSeparator(std::string& path) {
    if (path.empty() || path.back() != platform::kSeparator)
        path += platform::kSeparator;
}

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
bool Check::SameEntry(const std::string& a, const std::string& b) {
    platform::FileId idA, idB;
    std::string pathA, pathB;
    platform::Error error;
    return fs_.Identify(a, idA, error) && fs_.Identify(b, idB, error) && idA == idB &&
           fs_.Resolve(a, pathA, error) && fs_.Resolve(b, pathB, error) && pathA == pathB;
}

// The copy's root is passed over where it lies inside the source (a backup disk mounted below
// the directory checked), known by its identity.
void Check::FindCopyRoot(const std::string& dstDir) {
    platform::Error error;
    copyIo_ = dstDir.empty() ? "" : RootOf(dstDir).io;
    copyIdKnown_ = !dstDir.empty() && fs_.Identify(copyIo_, copyId_, error);
}

bool Check::IsCopyRoot(const platform::DirEntry& entry, const std::string& io) {
    return copyIdKnown_ && HasId(entry) && entry.id == copyId_ && SameEntry(io, copyIo_);
}

// The path the file system is asked for: the root's io form and the names after it.
std::string Check::Io(const std::string& shown) const {
    for (const Root* root : {&srcRoot_, &dstRoot_})
        if (root->shown != root->io && shown.starts_with(root->shown))
            return root->io + shown.substr(root->shown.size());
    return shown;
}

Check::Root Check::RootOf(std::string dir) {
    AddSeparator(dir);
    return {dir, platform::RunRoot(dir)};
}

// Keeps a listing the scan is done with for the walk, while the kept ones stay small.
void Check::KeepListing(const std::string& dir, std::vector<platform::DirEntry>& entries) {
    size_t bytes = platform::ListingBytes(entries);
    if (scannedBytes_ + bytes > kKeptListings)
        return;
    scannedBytes_ += bytes;
    scanned_[dir] = std::move(entries);
}

void Check::DropKeptListings() {
    std::unordered_map<std::string, std::vector<platform::DirEntry>>().swap(scanned_);
    scannedBytes_ = 0;
}

void Check::ScanTotalSize(std::string dir) {
    srcRoot_ = RootOf(dir);
    FindCopyRoot(settings_.copies[0]);
    DropKeptListings();
    scheduling::ListAhead ahead(fs_, [this] { listener_.Pulse(); });
    std::vector<Level> levels;
    auto enter = [&](Level level, bool root) {
        AddSeparator(dir);
        platform::Error error;
        if (root)
            level.hasId = fs_.Identify(Io(dir), level.id, error);
        if (!ahead.List(Io(dir), level.entries)) {
            AddPath("CheckTotalSize:ディレクトリ[", dir,
                    "]にアクセスできませんでした\r\nこのディレクトリは無視されます");
            return;
        }
        if (settings_.readAhead) {
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
        listener_.Pulse();
        Level& level = levels.back();
        dir.resize(level.srcLength);
        if (level.next == level.entries.size()) {
            KeepListing(dir, level.entries);
            levels.pop_back();
            continue;
        }
        const platform::DirEntry& entry = level.entries[level.next++];
        if (!entry.isDir) {
            totalBytes_ += entry.size;
            continue;
        }
        dir += entry.name;
        // The walk does not enter it either, so the total stays what the walk deals with.
        if (!IsCopyRoot(entry, Io(dir)) && !OnPath(fs_, levels, entry, dir, Io(dir)))
            enter(LevelOf(entry), false);
    }
}

// Pushes the directory's level, its listing taken from the scan when kept.
void Check::Enter(std::vector<Level>& levels, Level level, bool root, std::string& srcDir,
                  std::string& dstDir) {
    if (LimitReached())
        return;
    AddSeparator(srcDir);
    AddSeparator(dstDir);
    AddPath("Diredtory [ ", srcDir, " ]", Kind(LineKind::kDirectory));
    // Its files would each be compared with themselves.
    if (SameEntry(Io(srcDir), Io(dstDir))) {
        AddPath("[", dstDir, "]：コピー元と同じディレクトリです",
                Found(FindingKind::kSameDirectory, 0));
        ++differences_;
        return;
    }
    platform::Error error;
    if (root)
        level.hasId = fs_.Identify(Io(srcDir), level.id, error);
    if (auto kept = scanned_.find(srcDir); kept != scanned_.end()) {
        level.entries = std::move(kept->second);
        scanned_.erase(kept);
    } else if (!platform::ListOrNothing(fs_, Io(srcDir), level.entries)) {
        AddPath("ディレクトリ[", srcDir,
                "]にアクセスできませんでした\r\nこのディレクトリは無視されます",
                Found(FindingKind::kInaccessibleDirectory, LineInfo::kSource));
        ++differences_;
        return;
    }
    if (settings_.extras) {
        for (const platform::DirEntry& entry : level.entries)
            level.names.push_back(entry.name);
        std::sort(level.names.begin(), level.names.end());
    }
    level.srcLength = srcDir.size();
    level.dstLength = dstDir.size();
    levels.push_back(std::move(level));
}

// The source's extra buffers and its hasher when files are hashed, and the reads in flight.
void Check::StartReads() {
    StopReads();
    const size_t block = settings_.blockBytes;
    // More buffers for the source come out of what the reads in flight may hold.
    if (settings_.digests && !settings_.namesOnly)
        FillRing();
    if (settings_.readAhead && !settings_.namesOnly) {
        stage_ = std::make_unique<scheduling::ReadAhead>(
            fs_, block,
            scheduling::ReadAhead::kBudget - (ring_.size() - 1) * block - scannedBytes_);
    }
}

void Check::StopReads() {
    stage_.reset();
    DropRing();
}

void Check::Walk(std::string srcDir, std::string dstDir) {
    srcRoot_ = RootOf(srcDir);
    dstRoot_ = RootOf(dstDir);
    FindCopyRoot(dstDir);
    copyRemote_ = !settings_.namesOnly && fs_.IsRemote(dstRoot_.io);
    if (LimitReached())
        return;
    if (settings_.extras)
        IdentifyOwnFiles();
    StartReads();
    std::vector<Level> levels;
    Enter(levels, Level(), true, srcDir, dstDir);
    while (!levels.empty() && !StopRequested()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            if (settings_.extras)
                FindExtras(level.names, dstDir.substr(0, level.dstLength));
            levels.pop_back();
            continue;
        }
        srcDir.resize(level.srcLength);
        dstDir.resize(level.dstLength);
        if (stage_ && level.next >= level.plannedTo && !LimitReached())
            level.plannedTo = PlanReads(level.entries, level.next, srcDir, dstDir);
        platform::DirEntry entry = std::move(level.entries[level.next++]);
        if (entry.isDir) {
            WalkDirectory(levels, entry, srcDir, dstDir);
        } else {
            AddPath("File [", srcDir + entry.name, "]", Kind(LineKind::kFile));
            ++files_;
            CompareFile(srcDir, dstDir, entry);
            SetMeter(Meter::kTotal, CalcPercent(doneBytes_, totalBytes_));
        }
    }
    StopReads();
}

// A directory met in a listing: entered, or passed over when it is the copy or an ancestor.
void Check::WalkDirectory(std::vector<Level>& levels, const platform::DirEntry& entry,
                          std::string& srcDir, std::string& dstDir) {
    ++dirs_;
    srcDir += entry.name;
    dstDir += entry.name;
    bool copy = IsCopyRoot(entry, Io(srcDir));
    if (!copy && !OnPath(fs_, levels, entry, srcDir, Io(srcDir))) {
        Enter(levels, LevelOf(entry), false, srcDir, dstDir);
    } else if (!LimitReached()) {
        AddSeparator(srcDir);
        AddPath("ディレクトリ[", srcDir,
                copy ? "]はコピー先のため、無視されます"
                     : "]は上位のディレクトリと同じため、無視されます",
                copy ? Found(FindingKind::kCopyInSource, 0, false)
                     : Found(FindingKind::kLoop, LineInfo::kSource, false));
    }
}

// The small files of a listing from entry `from` up to its next directory, whose whole
// subtree comes first, are read ahead on both sides; the index of that directory.
size_t Check::PlanReads(const std::vector<platform::DirEntry>& entries, size_t from,
                        const std::string& srcDir, const std::string& dstDir) {
    std::vector<scheduling::ReadAhead::Planned> files;
    size_t to = from;
    for (; to < entries.size() && !entries[to].isDir; ++to) {
        const platform::DirEntry& e = entries[to];
        // A file of several blocks gains nothing from its first one read early: measured,
        // its two sides then compete for the device and the check is slower.
        if (!e.isRegular || e.unreadable || e.size > settings_.blockBytes)
            continue;
        files.push_back({Io(dstDir + e.name), !settings_.cached, e.size});
        files.push_back({Io(srcDir + e.name), false, e.size});
    }
    stage_->Plan(std::move(files));
    return std::max(to, from + 1);
}

}  // namespace engine
