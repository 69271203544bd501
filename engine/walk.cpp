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
    // The copies not compared below it: their directory here is the source's.
    std::vector<bool> passedOver;
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

// The roots of the trees; a copy's root is passed over where it lies inside the source (a
// backup disk mounted below the directory checked), known by its identity.
void Check::FindRoots() {
    srcRoot_ = RootOf(settings_.source);
    copies_.resize(settings_.copies.size());
    for (size_t i = 0; i < copies_.size(); ++i) {
        Copy& copy = copies_[i];
        copy.root = RootOf(settings_.copies[i]);
        platform::Error error;
        copy.idKnown = fs_.Identify(copy.root.io, copy.id, error);
    }
}

std::optional<size_t> Check::CopyRootAt(const platform::DirEntry& entry, const std::string& io) {
    for (size_t i = 0; i < copies_.size(); ++i)
        if (copies_[i].idKnown && HasId(entry) && entry.id == copies_[i].id &&
            SameEntry(io, copies_[i].root.io))
            return i;
    return std::nullopt;
}

// The path the file system is asked for: the root's io form and the names after it.
std::string Check::Io(const std::string& shown) const {
    auto mapped = [&shown](const Root& root) {
        return root.shown != root.io && shown.starts_with(root.shown);
    };
    if (mapped(srcRoot_))
        return srcRoot_.io + shown.substr(srcRoot_.shown.size());
    for (const Copy& copy : copies_)
        if (mapped(copy.root))
            return copy.root.io + shown.substr(copy.root.shown.size());
    return shown;
}

// The copy's path of a path below the source's root.
std::string Check::CopyPath(size_t copy, const std::string& srcPath) const {
    return copies_[copy].root.shown + srcPath.substr(srcRoot_.shown.size());
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
    DropKeptListings();
    scheduling::ListAhead ahead(fs_, [this] { listener_.Pulse(); });
    std::vector<Level> levels;
    auto enter = [&](Level level, bool root) {
        AddSeparator(dir);
        platform::Error error;
        if (root)
            level.hasId = fs_.Identify(Io(dir), level.id, error);
        if (!ahead.List(Io(dir), level.entries)) {
            sourceUnlisted_ = sourceUnlisted_ || root;
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
        if (!CopyRootAt(entry, Io(dir)) && !OnPath(fs_, levels, entry, dir, Io(dir)))
            enter(LevelOf(entry), false);
    }
}

// Pushes the directory's level, its listing taken from the scan when kept.
void Check::Enter(std::vector<Level>& levels, Level level, bool root, std::string& srcDir) {
    if (LimitReached())
        return;
    AddSeparator(srcDir);
    AddPath("Diredtory [ ", srcDir, " ]", Kind(LineKind::kDirectory));
    // Its files would each be compared with themselves.
    Copies compared = Compared(level.passedOver);
    for (size_t copy : compared) {
        std::string dstDir = CopyPath(copy, srcDir);
        if (SameEntry(Io(srcDir), Io(dstDir))) {
            Report("[", dstDir, "]：コピー元と同じディレクトリです",
                   Found(FindingKind::kSameDirectory, copy), {});
            level.passedOver[copy] = true;
        }
    }
    if (Compared(level.passedOver).empty())
        return;
    platform::Error error;
    if (root)
        level.hasId = fs_.Identify(Io(srcDir), level.id, error);
    if (auto kept = scanned_.find(srcDir); kept != scanned_.end()) {
        level.entries = std::move(kept->second);
        scanned_.erase(kept);
    } else if (!platform::ListOrNothing(fs_, Io(srcDir), level.entries)) {
        Report("ディレクトリ[", srcDir,
               "]にアクセスできませんでした\r\nこのディレクトリは無視されます",
               Found(FindingKind::kInaccessibleDirectory, LineInfo::kSource),
               Compared(level.passedOver));
        return;
    }
    if (settings_.extras) {
        for (const platform::DirEntry& entry : level.entries)
            level.names.push_back(entry.name);
        std::sort(level.names.begin(), level.names.end());
    }
    level.srcLength = srcDir.size();
    levels.push_back(std::move(level));
}

// The source's extra buffers and its hasher when files are hashed, the helpers that read
// several copies side by side, and the reads in flight.
void Check::StartReads() {
    StopReads();
    const size_t block = settings_.blockBytes;
    // More buffers for the source come out of what the reads in flight may hold.
    if (settings_.digests && !settings_.namesOnly)
        FillRing();
    if (copies_.size() > 1 && !settings_.namesOnly)
        sideBySide_ = std::make_unique<scheduling::SideBySide>(copies_.size());
    if (settings_.readAhead && !settings_.namesOnly) {
        stage_ = std::make_unique<scheduling::ReadAhead>(
            fs_, block,
            scheduling::ReadAhead::kBudget - (ring_.size() - 1) * block - scannedBytes_);
    }
}

void Check::StopReads() {
    sideBySide_.reset();
    stage_.reset();
    DropRing();
}

void Check::Walk(std::string srcDir) {
    for (Copy& copy : copies_)
        copy.remote = !settings_.namesOnly && fs_.IsRemote(copy.root.io);
    if (LimitReached())
        return;
    if (settings_.extras)
        IdentifyOwnFiles();
    StartReads();
    std::vector<Level> levels;
    Level root;
    root.passedOver.assign(copies_.size(), false);
    Enter(levels, std::move(root), true, srcDir);
    while (!levels.empty() && !StopRequested()) {
        Level& level = levels.back();
        srcDir.resize(level.srcLength);
        if (level.next == level.entries.size()) {
            if (settings_.extras)
                for (size_t copy : Compared(level.passedOver))
                    FindExtras(copy, level.names, CopyPath(copy, srcDir));
            levels.pop_back();
            continue;
        }
        if (stage_ && level.next >= level.plannedTo && !LimitReached())
            level.plannedTo = PlanReads(level, srcDir);
        platform::DirEntry entry = std::move(level.entries[level.next++]);
        if (entry.isDir) {
            WalkDirectory(levels, entry, srcDir);
        } else {
            AddPath("File [", srcDir + entry.name, "]", Kind(LineKind::kFile));
            ++files_;
            CompareFile(srcDir, entry, Compared(level.passedOver));
            SetMeter(Meter::kTotal, CalcPercent(doneBytes_, totalBytes_));
        }
    }
    StopReads();
}

// A directory met in a listing: entered, or passed over when it is a copy or an ancestor.
void Check::WalkDirectory(std::vector<Level>& levels, const platform::DirEntry& entry,
                          std::string& srcDir) {
    ++dirs_;
    srcDir += entry.name;
    std::optional<size_t> copy = CopyRootAt(entry, Io(srcDir));
    if (!copy && !OnPath(fs_, levels, entry, srcDir, Io(srcDir))) {
        Level level = LevelOf(entry);
        level.passedOver = levels.back().passedOver;
        Enter(levels, std::move(level), false, srcDir);
    } else if (!LimitReached()) {
        AddSeparator(srcDir);
        AddPath("ディレクトリ[", srcDir,
                copy ? "]はコピー先のため、無視されます"
                     : "]は上位のディレクトリと同じため、無視されます",
                copy ? Found(FindingKind::kCopyInSource, *copy, false)
                     : Found(FindingKind::kLoop, LineInfo::kSource, false));
    }
}

// The small files of a listing from its next entry up to its next directory, whose whole
// subtree comes first, are read ahead in each copy and the source; the index of that
// directory.
size_t Check::PlanReads(const Level& level, const std::string& srcDir) {
    const std::vector<platform::DirEntry>& entries = level.entries;
    const Copies compared = Compared(level.passedOver);
    std::vector<scheduling::ReadAhead::Planned> files;
    size_t to = level.next;
    for (; to < entries.size() && !entries[to].isDir; ++to) {
        const platform::DirEntry& e = entries[to];
        // A file of several blocks gains nothing from its first one read early: measured,
        // its two sides then compete for the device and the check is slower.
        if (!e.isRegular || e.unreadable || e.size > settings_.blockBytes)
            continue;
        for (size_t copy : compared)
            files.push_back({Io(CopyPath(copy, srcDir + e.name)), !settings_.cached, e.size});
        files.push_back({Io(srcDir + e.name), false, e.size});
    }
    stage_->Plan(std::move(files));
    return std::max(to, level.next + 1);
}

}  // namespace engine
